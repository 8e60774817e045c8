// Shared by the fuzz targets: a private folder to write inputs into, and a
// Qt application for the image decoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A folder of this process under the temporary folder, made on first use.
const std::string& FuzzFolder();
// Writes the bytes to the file (replacing it).
void FuzzWriteFile(const std::string& path, const uint8_t* data, size_t size);
// Starts a GUI application on the offscreen platform, once.
void FuzzStartQt();
