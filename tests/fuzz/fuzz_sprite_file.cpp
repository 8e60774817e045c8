// Sprite files of arbitrary bytes, loaded as the program loads them. The
// first byte chooses whether the demo world's images lie beside the file.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Fuzz_Support.h"
#include "Host_Files.h"
#include "Sprite_Window.h"

namespace {

std::string gPath;

bool ChooseInput(std::string* path)
{
    *path = gPath;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzStartQt();
    namespace fs = std::filesystem;
    fs::create_directories(FuzzFolder() + "/empty");
    fs::create_directories(FuzzFolder() + "/demo");
    for (const auto& entry : fs::directory_iterator(STARDRIFT_SOURCE_DIR "/data/demo"))
        if (entry.path().extension() == ".png")
            fs::copy_file(entry.path(), FuzzFolder() + "/demo/" + entry.path().filename().string(),
                          fs::copy_options::overwrite_existing);
    HostSetFileChooser(ChooseInput);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    gPath = FuzzFolder() + ((data[0] & 1) ? "/demo" : "/empty") + "/world.sprites";
    FuzzWriteFile(gPath, data + 1, size - 1);
    auto* record = static_cast<recWindow*>(std::calloc(1, sizeof(recWindow)));
    if (LoadDataFile(record)) {
        // What drawing reads of every sprite must lie inside the arrays.
        volatile float sum = 0;
        for (int32_t i = 0; i < record->numSprites; ++i)
            sum = sum + record->pSpriteArray[i].centerX;
        for (int32_t i = 0; i < record->numImages; ++i)
            sum = sum + float(record->pImageArray[i].imageWidth);
        DisposeSprites(&record->pSpriteArray, record->numSprites);
        DisposeImages(&record->pImageArray, record->numImages);
    }
    std::free(record);
    return 0;
}
