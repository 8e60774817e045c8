// The offscreen drawing surface that wraps an image's pixel buffer while the
// image is decoded. Its contents belong to the host's image layer.
#pragma once

struct GWorld;
using GWorldPtr = GWorld*;
