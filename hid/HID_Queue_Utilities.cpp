// Releasing the event queues of the devices in the list. This program reads
// element values directly and never makes a queue, so in practice every
// device has none and the release finds nothing to do; it still runs on
// every release of the list.

#include "HID_Devices_Internal.h"
#include "HID_Error_Handler.h"

IOReturn HIDDisposeReleaseQueue(pRecDevice pDevice)
{
    if (!pDevice || !pDevice->queue)
        return kIOReturnSuccess;
    auto** queue = static_cast<IOHIDQueueInterface**>(pDevice->queue);
    (*queue)->stop(queue);
    IOReturn result = (*queue)->dispose(queue);
    const ULONG references = (*queue)->Release(queue);
    if (result == kIOReturnSuccess && references != 0)
        result = static_cast<IOReturn>(references);
    pDevice->queue = nullptr;
    return result;
}

IOReturn HIDDequeueDevice(pRecDevice pDevice)
{
    if (!pDevice)
        return kIOReturnBadArgument;
    const IOReturn result = HIDDisposeReleaseQueue(pDevice);
    if (result != kIOReturnSuccess)
        HIDReportErrorNum("Failed to dispose and release queue.", result);
    return result;
}

IOReturn HIDReleaseAllDeviceQueues()
{
    IOReturn result = kIOReturnSuccess;
    for (pRecDevice pDevice = HIDGetFirstDevice(); pDevice; pDevice = HIDGetNextDevice(pDevice)) {
        result = HIDDequeueDevice(pDevice);
        if (result != kIOReturnSuccess)
            HIDReportErrorNum("Could not dequeue device.", result);
    }
    return result;
}
