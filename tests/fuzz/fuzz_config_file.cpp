// Configuration files of arbitrary bytes, loaded against two fixture pads,
// then polled as a tick polls them.
#include <unistd.h>

#include "Config_File.h"
#include "Fuzz_Support.h"
#include "HID_Devices_External.h"
#include "Input_Actions.h"
#include "Input_Fixture.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (chdir(FuzzFolder().c_str()) != 0)
        return 1;
    FixtureRegistry registry;
    registry.devices.push_back(FixturePad(0x046d, 0xc216, 0x14100000, "Dual Action"));
    registry.devices.push_back(FixturePad(0x054c, 0x0268, 0x14200000, "Other Pad"));
    FixtureRegistryInstall(std::move(registry));
    HIDBuildDeviceList(0, 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzWriteFile(kConfigFileName, data, size);
    LoadConfig();
    for (actionRec& action : actionArray)
        action.keyState = true;
    GetInput();
    if (actionArray[kActionXAxis].value < -127 || actionArray[kActionXAxis].value > 127)
        __builtin_trap();
    return 0;
}
