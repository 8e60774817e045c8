// The plain way of drawing a frame, kept as the measure of the fast one:
// every sprite with its own matrices, state and primitives, no culling, and
// the overlay's text a display list call per character.
#pragma once

#include <string>

#include "Sprite_Window.h"

// Draws the window's frame as DrawGL does, the plain way, and swaps. The
// frame-rate line shows fpsText.
void ReferenceDrawGL(WindowRef window, const std::string& fpsText);
