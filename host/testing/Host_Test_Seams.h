// Test seams of the host's clock and value and device layers: a clock tests
// drive themselves, and counts of what is still alive, so that tests can
// check that the HID layer gives back everything it was handed.
#pragma once

#include "Host_Seam_State.h"

// Where UpTime reads the time from now on. Null restores the real clock.
void FixtureSetUpTimeSource(HostUpTimeSource source);

// Objects of the value layer created and not yet freed (constants excluded).
long FixtureLiveCFObjects();

// Registry handles (entries, iterators) not yet released, and plug-ins and
// device interfaces still alive.
long FixtureLiveRegistryHandles();
long FixtureLivePlugIns();
long FixtureLiveInterfaces();
