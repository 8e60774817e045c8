// Input devices coming and going while the program runs: udev's monitor
// socket watched on the event loop.
#pragma once

using HostDevicesChangedProc = void (*)();

// From now on, whenever input event nodes were added or removed, calls
// changed once from the event loop, on the main thread, for all the changes
// that arrived together. Nothing is called while the main thread is busy (a
// tick, or a wait that does not return to the event loop): the changes wait
// in the socket until the loop runs again. False when udev's monitor is not
// available; devices are then only found when the list is built.
bool HostWatchDevices(HostDevicesChangedProc changed);
// Stops watching; no call after this.
void HostStopWatchingDevices();
// While held, changes are noted but not passed on, even when the event loop
// runs (events delivered in the middle of a handler); releasing passes on
// those noted meanwhile, at once. For code that keeps pointers into the
// device list across such a stretch.
void HostHoldDeviceChanges(bool hold);
