#include "Config_File.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "HID_Config_Utilities.h"
#include "Input_Actions.h"

std::string gConfigFilePath = kConfigFileName;

OSStatus SaveConfig()
{
    std::string temporary = gConfigFilePath + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return paramErr;
    // The permissions a newly created file would get, not mkstemp's private ones.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(temporary.c_str());
        return paramErr;
    }
    for (const actionRec& action : actionArray) {
        const unsigned char key[5] = {uint8_t(action.keyCode >> 24), uint8_t(action.keyCode >> 16),
                                      uint8_t(action.keyCode >> 8), uint8_t(action.keyCode),
                                      uint8_t(action.charCode)};
        std::fwrite(key, 1, sizeof key, file);
    }
    for (int32_t a = 0; a < kNumActions; ++a) {
        // A binding is saved as it was bound or loaded: so is one whose
        // device is away, and one held for now by a stand-in of its kind.
        if (bindingArray[a].inForce) {
            recSaveHID record = bindingArray[a].record;
            record.actionCookie = a;
            unsigned char bytes[kSaveHIDBytes];
            HIDPackSaveRecord(record, bytes);
            std::fwrite(bytes, 1, sizeof bytes, file);
        } else {
            HIDSaveElementConfig(file, actionArray[a].pDevice, actionArray[a].pElement, a);
        }
    }
    // Every byte must have reached the file before it may replace the old one.
    bool written = std::ftell(file) == kConfigFileBytes && std::fflush(file) == 0 && !std::ferror(file);
    written = fsync(fileno(file)) == 0 && written;
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temporary.c_str(), gConfigFilePath.c_str()) != 0) {
        unlink(temporary.c_str());
        return paramErr;
    }
    return noErr;
}

OSStatus LoadConfig()
{
    for (actionRec& action : actionArray)
        action = actionRec{};
    for (actionBinding& binding : bindingArray)
        binding = actionBinding{};
    FILE* file = std::fopen(gConfigFilePath.c_str(), "rb");
    if (!file)
        return paramErr;
    // A file that ends early leaves the fields beyond its end unbound.
    unsigned char keys[5 * kNumActions] = {};
    const size_t keyBytes = std::fread(keys, 1, sizeof keys, file);
    for (int32_t a = 0; a < kNumActions; ++a) {
        const unsigned char* key = keys + 5 * a;
        if (size_t(5 * a + 4) <= keyBytes)
            actionArray[a].keyCode = UInt32(key[0]) << 24 | UInt32(key[1]) << 16 | UInt32(key[2]) << 8 | key[3];
        if (size_t(5 * a + 5) <= keyBytes)
            actionArray[a].charCode = char(key[4]);
    }
    // Each record binds the action it names, also while its device is away.
    for (int32_t i = 0; i < kNumActions; ++i) {
        unsigned char bytes[kSaveHIDBytes];
        if (std::fread(bytes, 1, sizeof bytes, file) == sizeof bytes)
            LoadActionBinding(HIDUnpackSaveRecord(bytes));
    }
    std::fclose(file);
    return noErr;
}
