// Writes the demo world's key bindings as "ZV config" into the working
// directory, through the program's own SaveConfig: Left and Right turn, Up
// thrusts, A and Z zoom in and out. Key codes are XKB key codes.
#include <cstdio>

#include "Config_File.h"
#include "Input_Actions.h"

int main()
{
    constexpr UInt32 kLeft = 113, kRight = 114, kUp = 111, kA = 38, kZ = 52;
    actionArray[kActionRotLeft].keyCode = kLeft;
    actionArray[kActionRotRight].keyCode = kRight;
    actionArray[kActionThrust].keyCode = kUp;
    actionArray[kActionZin].keyCode = kA;
    actionArray[kActionZin].charCode = 'a';
    actionArray[kActionZout].keyCode = kZ;
    actionArray[kActionZout].charCode = 'z';
    if (SaveConfig() != noErr) {
        std::fprintf(stderr, "make-demo-config: could not write \"%s\"\n", kConfigFileName);
        return 1;
    }
    return 0;
}
