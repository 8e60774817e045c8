// Image decoding and the offscreen surface that wraps a pixel buffer.
//
// A graphics importer reads one image file at its natural size. It draws the
// decoded pixels, unscaled, into a surface made over the caller's zero-filled
// buffer, in the surface's pixel words:
//   k32ARGBPixelFormat      one native 32-bit word per pixel, 0xAARRGGBB
//   k16BE555PixelFormat     one native 16-bit word per pixel: alpha in bit 15,
//                           then 5 bits each of red, green and blue
//   k8IndexedGrayPixelFormat one byte per pixel, 0 white and 255 black
// Rows follow each other at the surface's row bytes, the top row first.
#pragma once

#include <cstdint>

#include "Host_Image_Types.h"
#include "Host_Types.h"
#include "Host_Window_Types.h"

constexpr OSType k32ARGBPixelFormat = 32;
constexpr OSType k16BE555PixelFormat = 16;
constexpr OSType k8IndexedGrayPixelFormat = 40;

constexpr int32_t codecLosslessQuality = 0x400;

// Result codes of the importer.
constexpr OSErr noImporterErr = -2000;        // no decoder reads this file (missing or unknown format)
constexpr OSErr imageTooLargeErr = -2001;     // a side does not fit in signed 16-bit coordinates
constexpr OSErr invalidImageDataErr = -2002;  // the file is truncated or corrupt
constexpr OSErr unsupportedMatrixErr = -2003; // the importer draws at natural size only

struct GraphicsImporter;
using GraphicsImportComponent = GraphicsImporter*;
using ComponentResult = int32_t;

// The facts about the stored image that the loader uses.
struct ImageDescription {
    int16_t width;
    int16_t height;
    // Stored bits per pixel: 1, 2, 4 or 8 for indexed colour, 16 for 16-bit
    // RGB, 24 for true colour, 32 for colour with alpha, 33, 34, 36 or 40 for
    // gray of 1, 2, 4 or 8 (or more) bits.
    int16_t depth;
};

// Finds a decoder for the file. The file is opened as HostOpenRegularFile
// does (its result codes when it cannot be: a folder, FIFO or device, a
// missing or too large file); noImporterErr when no decoder knows the format.
OSErr GetGraphicsImporterForFile(const FSSpec* theFile, GraphicsImportComponent* gi);
// The image's rectangle at natural size (top and left 0). imageTooLargeErr for
// a side over 32767 pixels, invalidImageDataErr when the size is unreadable.
ComponentResult GraphicsImportGetNaturalBounds(GraphicsImportComponent ci, Rect* naturalBounds);
ComponentResult GraphicsImportGetImageDescription(GraphicsImportComponent ci, ImageDescription* desc);
// Decodes the whole image now, so that a truncated or corrupt file is found
// before anything is drawn: *imageIsValid is false for such a file. Before
// decoding, the file's own structure is checked (PNG chunks to IEND, GIF
// blocks to the trailer, BMP pixel data within the file, JPEG read through
// by libjpeg without a warning). The decoded pixels are the file's only:
// none comes from memory the decoder did not write. Images
// whose decoding would need more than the importer's memory limit are
// reported as invalid too.
ComponentResult GraphicsImportValidate(GraphicsImportComponent ci, Boolean* imageIsValid);

// 16.16 fixed point and the importer's transform.
using Fixed = int32_t;
struct MatrixRecord {
    Fixed matrix[3][3];
};
Fixed X2Fix(double x);
void SetIdentityMatrix(MatrixRecord* matrix);
// Scales about the anchor point (aboutX, aboutY).
void ScaleMatrix(MatrixRecord* matrix, Fixed scaleX, Fixed scaleY, Fixed aboutX, Fixed aboutY);
// Only the identity is accepted: images are drawn at natural size.
ComponentResult GraphicsImportSetMatrix(GraphicsImportComponent ci, const MatrixRecord* matrix);
ComponentResult GraphicsImportSetGWorld(GraphicsImportComponent ci, GWorldPtr port, void* gdh);
ComponentResult GraphicsImportSetQuality(GraphicsImportComponent ci, int32_t quality);
// Draws the decoded image into the destination surface, clipped to it.
ComponentResult GraphicsImportDraw(GraphicsImportComponent ci);
// Releases the importer and its decoded image.
OSErr CloseComponent(GraphicsImportComponent ci);

// Wraps baseAddr (rowBytes per row, boundsRect's size) as a surface of the
// given pixel format. cTable and aGDevice must be null, flags 0. On failure
// *offscreenGWorld is null.
OSErr QTNewGWorldFromPtr(GWorldPtr* offscreenGWorld, OSType pixelFormat, const Rect* boundsRect, void* cTable,
                         void* aGDevice, uint32_t flags, void* baseAddr, int32_t rowBytes);
// Releases the surface; the buffer stays the caller's.
void DisposeGWorld(GWorldPtr offscreenGWorld);

struct PixMap;
using PixMapHandle = PixMap*;
PixMapHandle GetGWorldPixMap(GWorldPtr offscreenGWorld);
// False when the pixels cannot be drawn.
Boolean LockPixels(PixMapHandle pm);
void UnlockPixels(PixMapHandle pm);
