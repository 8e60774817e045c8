// Image files of arbitrary bytes under the names the loader meets: the first
// byte chooses the extension and the mask type.
#include <string>

#include "Fuzz_Support.h"
#include "Host_Files.h"
#include "OpenGL_Image_Utilities.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzStartQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const char* const kNames[] = {"image.png", "image.jpg", "image.bmp", "image.gif"};
    const char* name = kNames[data[0] & 3];
    const std::string path = FuzzFolder() + "/" + name;
    FuzzWriteFile(path, data + 1, size - 1);
    FSSpec spec{};
    if (!HostMakeFSSpec(path, &spec))
        __builtin_trap();
    recImage image{};
    if (LoadImageFile(spec, &image, int16_t((data[0] >> 2) & 3))) {
        // Every pixel the upload would read lies in the buffer.
        const size_t bytes = size_t(image.imageWidth) * size_t(image.imageHeight) * size_t(image.imageDepth / 8);
        volatile unsigned char last = bytes ? image.pImageBuffer[bytes - 1] : 0;
        (void)last;
    }
    recImage* array = static_cast<recImage*>(static_cast<void*>(NewPtrClear(sizeof(recImage))));
    *array = image;
    DisposeImages(&array, 1);
    return 0;
}
