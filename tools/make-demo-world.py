#!/usr/bin/env python3
"""Draws the images of the bundled demo world and writes its sprite file.

Only the Python standard library is used: the PNG files are written with zlib.
Run from anywhere: python3 tools/make-demo-world.py [OUTPUT_FOLDER]
(default: data/demo beside this script's folder). The output is deterministic.
"""
import math
import os
import random
import struct
import sys
import zlib


def write_png(path, width, height, rows, channels):
    """rows: list of bytes objects, each width*channels bytes. channels 3 (RGB) or 4 (RGBA)."""
    colour_type = {3: 2, 4: 6}[channels]
    raw = b"".join(b"\x00" + bytes(r) for r in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def clamp(v):
    return max(0, min(255, int(round(v))))


def smoothstep(e0, e1, x):
    t = max(0.0, min(1.0, (x - e0) / (e1 - e0)))
    return t * t * (3 - 2 * t)


def ship(size=64):
    """A small rocket pointing up the screen on pure green (the colour key)."""
    rows = []
    cx = (size - 1) / 2
    for y in range(size):
        row = bytearray()
        for x in range(size):
            u = (x - cx) / (size / 2)  # -1..1
            v = y / (size - 1)         # 0 top .. 1 bottom
            colour = None
            # hull: a pointed body narrowing towards the nose
            half = 0.34 * math.sin(math.pi * min(1.0, v * 1.15)) if v < 0.87 else 0.0
            if v > 0.06 and abs(u) < half:
                shade = 0.55 + 0.45 * math.cos(u / max(half, 1e-6) * math.pi / 2)
                colour = (200 * shade, 210 * shade, 225 * shade)
                # red stripe and cockpit
                if 0.52 < v < 0.58:
                    colour = (210 * shade, 40 * shade, 40 * shade)
                if (u / 0.1) ** 2 + ((v - 0.33) / 0.09) ** 2 < 1:
                    glass = 0.6 + 0.4 * (1 - v)
                    colour = (40 * glass, 120 * glass, 230 * glass)
            # fins
            if 0.62 < v < 0.95 and 0.2 < abs(u) < 0.2 + (v - 0.62) * 1.6 and abs(u) < 0.72:
                colour = (170, 35, 35)
            # engine nozzle
            if 0.86 < v < 0.97 and abs(u) < 0.16:
                colour = (90, 90, 100)
            if colour is None:
                colour = (0, 255, 0)
            row += bytes(clamp(c) for c in colour)
        rows.append(row)
    return size, size, rows, 3


def stars(size=256, seed=7):
    """A dark, faintly nebulous star field that tiles seamlessly."""
    rnd = random.Random(seed)
    img = [[[6.0, 7.0, 16.0] for _ in range(size)] for _ in range(size)]
    # soft nebula from a few periodic waves, so that opposite edges match
    waves = [(rnd.randint(1, 3), rnd.randint(1, 3), rnd.random() * 6.28) for _ in range(5)]
    for y in range(size):
        for x in range(size):
            n = sum(math.sin(2 * math.pi * (a * x + b * y) / size + p) for a, b, p in waves) / len(waves)
            n = max(0.0, n) ** 2
            img[y][x][0] += 40 * n
            img[y][x][1] += 12 * n
            img[y][x][2] += 55 * n
    for _ in range(220):
        sx, sy = rnd.random() * size, rnd.random() * size
        bright = rnd.random() ** 3 * 230 + 25
        tint = rnd.choice([(1.0, 1.0, 1.0), (0.8, 0.9, 1.0), (1.0, 0.9, 0.7)])
        radius = 0.6 + (bright / 255) * 1.4
        for dy in range(-3, 4):
            for dx in range(-3, 4):
                px, py = int(sx) + dx, int(sy) + dy
                d = math.hypot(px + 0.5 - sx, py + 0.5 - sy)
                w = max(0.0, 1 - d / radius)
                if w > 0:
                    cell = img[py % size][px % size]
                    for c in range(3):
                        cell[c] += bright * w * tint[c]
    rows = [bytes(clamp(c) for px in row for c in px) for row in img]
    return size, size, rows, 3


def planet(size=128, base=(70, 120, 200), band=(230, 230, 255), seed=3):
    """A lit sphere with bands and a soft atmosphere, in real alpha."""
    rnd = random.Random(seed)
    phases = [rnd.random() * 6.28 for _ in range(3)]
    c = (size - 1) / 2
    r = size * 0.42
    light = (-0.55, -0.45, 0.7)
    ln = math.sqrt(sum(v * v for v in light))
    light = tuple(v / ln for v in light)
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            dx, dy = (x - c) / r, (y - c) / r
            d2 = dx * dx + dy * dy
            if d2 <= 1.0:
                dz = math.sqrt(1 - d2)
                lit = max(0.0, dx * light[0] + dy * light[1] + dz * light[2])
                lit = 0.12 + 0.88 * lit
                t = 0.5 + 0.5 * math.sin(dy * 9 + math.sin(dx * 3 + phases[0]) * 0.8 + phases[1])
                col = [base[i] * (1 - t * 0.5) + band[i] * t * 0.5 for i in range(3)]
                edge = smoothstep(1.0, 0.96, math.sqrt(d2))
                row += bytes([clamp(col[0] * lit), clamp(col[1] * lit), clamp(col[2] * lit), clamp(255 * edge)])
            else:
                glow = max(0.0, 1 - (math.sqrt(d2) - 1) / 0.12)
                row += bytes([clamp(base[0] + 60), clamp(base[1] + 60), clamp(base[2] + 40), clamp(90 * glow * glow)])
        rows.append(row)
    return size, size, rows, 4


def smoke(size=64):
    """A soft round puff: gray levels in colour channels, so it loads at 32 bits."""
    c = (size - 1) / 2
    rows = []
    rnd = random.Random(11)
    blobs = [(rnd.uniform(-0.3, 0.3), rnd.uniform(-0.3, 0.3), rnd.uniform(0.35, 0.6)) for _ in range(6)]
    for y in range(size):
        row = bytearray()
        for x in range(size):
            u, v = (x - c) / c, (y - c) / c
            density = 0.0
            for bx, by, br in blobs:
                d = math.hypot(u - bx, v - by) / br
                density += max(0.0, 1 - d * d) ** 2
            density *= smoothstep(1.0, 0.7, math.hypot(u, v))
            g = clamp(255 * min(1.0, density * 0.8))
            row += bytes([g, g, g])
        rows.append(row)
    return size, size, rows, 3


def asteroid(size=48, seed=5):
    """A lumpy rock with real alpha."""
    rnd = random.Random(seed)
    lumps = [(rnd.random() * 6.28, rnd.uniform(0.05, 0.12), rnd.randint(2, 5)) for _ in range(4)]
    c = (size - 1) / 2
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            dx, dy = (x - c) / c, (y - c) / c
            ang = math.atan2(dy, dx)
            radius = 0.78 + sum(a * math.sin(k * ang + p) for p, a, k in lumps)
            d = math.hypot(dx, dy)
            if d < radius:
                lit = 0.35 + 0.65 * max(0.0, 1 - math.hypot(dx + 0.35, dy + 0.35) / 1.3)
                speck = 0.85 + 0.15 * math.sin(x * 1.7) * math.sin(y * 2.3)
                g = 140 * lit * speck
                alpha = smoothstep(radius, radius - 0.06, d)
                row += bytes([clamp(g * 1.05), clamp(g * 0.95), clamp(g * 0.85), clamp(255 * alpha)])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(row)
    return size, size, rows, 4


def sprite_lines(image, x, y, z, rotation, zoom, vx, vy, vz, red, green, blue, alpha, tiled, alpha_test, blend, steered):
    values = [image, x, y, z, rotation, zoom, vx, vy, vz, red, green, blue, alpha, tiled, alpha_test, blend, steered]
    return [str(v) for v in values]


def sprite_file():
    lines = [
        "// Stardrift demo world.",
        "//",
        "// A sprite file holds one value per line; lines starting with // are comments.",
        "// First the number of images, then for each image its mask type and file name:",
        "//   mask 0 opaque, 1 pure green is transparent, 2 brightness is the alpha (white",
        "//   colour), 3 the image's own alpha. Files lie beside this one.",
        "// Then the number of sprites, then seventeen lines per sprite:",
        "//   image, x, y, depth, rotation (degrees), zoom, velocity x, y, depth,",
        "//   red, green, blue, alpha, tiling (0 none, 1 tiled, 2 mirrored tiles),",
        "//   alpha test, blending, steered (0 or 1).",
        "// Sprite 0 is the ship the view follows; sprites 3 to 32 are the smoke pool,",
        "// and image 3 is the smoke puff.",
        "6",
        "// image 0: the ship, keyed on pure green",
        "1", "ship.png",
        "// image 1: the star field background",
        "0", "stars.png",
        "// image 2: a blue planet with its own alpha",
        "3", "planet.png",
        "// image 3: the smoke puff, brightness as alpha",
        "2", "smoke.png",
        "// image 4: a red planet",
        "3", "mars.png",
        "// image 5: a rock",
        "3", "asteroid.png",
    ]
    sprites = []
    sprites.append(("the ship, steered", sprite_lines(0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1, 0, 1, 0, 1)))
    sprites.append(("the star field, mirrored tiles far behind", sprite_lines(1, 0, 0, -500, 0, 1, 0, 0, 0, 1, 1, 1, 1, 2, 0, 0, 0)))
    sprites.append(("the blue planet, drifting", sprite_lines(2, 420, -260, -100, 0, 1.5, 6, 2, 0, 1, 1, 1, 1, 0, 0, 1, 0)))
    pool = []
    for i in range(30):
        pool.append(sprite_lines(3, 0, 0, -1, 0, 1, 0, 0, 0, 1, 1, 1, 1, 0, 0, 1, 0))
    sprites.append(("sprites 3 to 32: the smoke pool", None))
    extras = [
        ("a red planet far away", sprite_lines(4, -700, 380, -300, 0, 0.8, -3, -1.5, 0, 1, 0.85, 0.8, 1, 0, 0, 1, 0)),
        ("a rock drifting by", sprite_lines(5, -260, -180, -20, 30, 1.2, 14, 9, 0, 1, 1, 1, 1, 0, 1, 0, 0)),
        ("another rock", sprite_lines(5, 330, 240, -40, 200, 0.8, -11, 6, 0, 0.9, 0.9, 1, 1, 0, 1, 0, 0)),
        ("a small rock, faster", sprite_lines(5, 90, -420, -60, 100, 0.5, -20, 16, 0, 1, 0.9, 0.8, 1, 0, 1, 0, 0)),
    ]
    count = 3 + 30 + len(extras)
    lines.append(str(count))
    for title, values in sprites[:3]:
        lines.append("// " + title)
        lines.extend(values)
    lines.append("// sprites 3 to 32: the smoke pool (invisible until the ship thrusts)")
    for values in pool:
        lines.extend(values)
    for title, values in extras:
        lines.append("// " + title)
        lines.extend(values)
    return "\n".join(lines) + "\n"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data", "demo")
    os.makedirs(out, exist_ok=True)
    images = {
        "ship.png": ship(),
        "stars.png": stars(),
        "planet.png": planet(),
        "smoke.png": smoke(),
        "mars.png": planet(96, base=(200, 90, 50), band=(250, 200, 150), seed=9),
        "asteroid.png": asteroid(),
    }
    for name, (w, h, rows, ch) in images.items():
        write_png(os.path.join(out, name), w, h, rows, ch)
    with open(os.path.join(out, "demo.sprites"), "w", newline="\n") as f:
        f.write(sprite_file())


if __name__ == "__main__":
    main()
