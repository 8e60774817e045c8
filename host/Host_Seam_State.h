// Inside the host: the state that the test seams of testing/ read and set.
// The program never changes it; tests replace the clock and the device
// registry through it and count what the HID layer leaves alive.
#pragma once

#include "Host_Time.h"

struct HostRegistryBackend;

// Where UpTime reads the time (Host_Time.cpp); null: the steady clock.
using HostUpTimeSource = AbsoluteTime (*)();
extern HostUpTimeSource gUpTimeSource;

// Objects of the value layer created and not yet freed, constants excluded
// (Host_CF.cpp).
extern long gCFLiveObjects;

// The registry behind the registry calls (Host_IOKit.cpp); null: the Linux one.
extern const HostRegistryBackend* gRegistryBackend;
// Registry handles (entries, iterators) not yet released, plug-ins and device
// interfaces still alive (Host_IOKit.cpp).
extern long gRegistryLiveHandles;
extern long gRegistryLivePlugIns;
extern long gRegistryLiveInterfaces;
