#include "Config_File.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Error_Handler.h"
#include "HID_Config_Utilities.h"
#include "Host_Files.h"
#include "Input_Actions.h"

std::string gConfigFilePath = kConfigFileName;

namespace {

// Says on standard error what went wrong with the bindings file, and why.
void ReportConfigProblem(const char* what, const char* why)
{
    const std::string message = std::string(what) + " \"" + gConfigFilePath + "\": " + why;
    ReportError(message.c_str());
}

} // namespace

OSStatus SaveConfig()
{
    // The bytes are gathered first, so that the file is replaced only by a
    // complete set of bindings.
    char* gathered = nullptr;
    size_t size = 0;
    FILE* file = open_memstream(&gathered, &size);
    if (!file) {
        ReportConfigProblem("SaveConfig: the bindings were not saved to", "out of memory");
        return paramErr;
    }
    for (const actionRec& action : actionArray) {
        unsigned char key[5];
        PutBigEndian32(key, action.keyCode);
        key[4] = uint8_t(action.charCode);
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
    const bool complete = std::fclose(file) == 0 && size == size_t(kConfigFileBytes);
    std::string why = "out of memory";
    const bool saved = complete && HostReplaceFile(gConfigFilePath.c_str(), gathered, size, &why);
    std::free(gathered);
    if (!saved) {
        ReportConfigProblem("SaveConfig: the bindings were not saved to", why.c_str());
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
    std::string why;
    FILE* file = HostOpenRegularFile(gConfigFilePath.c_str(), &why);
    if (!file) {
        // No file at all is the first run: every action stays unbound.
        if (errno != ENOENT)
            ReportConfigProblem("LoadConfig: the bindings were not loaded from", why.c_str());
        return paramErr;
    }
    // A file that ends early leaves the fields beyond its end unbound.
    unsigned char keys[5 * kNumActions] = {};
    const size_t keyBytes = std::fread(keys, 1, sizeof keys, file);
    for (int32_t a = 0; a < kNumActions; ++a) {
        const unsigned char* key = keys + 5 * a;
        if (size_t(5 * a + 4) <= keyBytes)
            actionArray[a].keyCode = GetBigEndian32(key);
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
