#include "Host_Test_Seams.h"

#include "Host_Seam_State.h"

void HostSetUpTimeSource(HostUpTimeSource source)
{
    gUpTimeSource = source;
}

long HostCFLiveObjects() { return gCFLiveObjects; }

long HostRegistryLiveHandles() { return gRegistryLiveHandles; }
long HostRegistryLivePlugIns() { return gRegistryLivePlugIns; }
long HostRegistryLiveInterfaces() { return gRegistryLiveInterfaces; }
