#include "Host_Test_Seams.h"

#include "Host_Seam_State.h"

void FixtureSetUpTimeSource(HostUpTimeSource source)
{
    gUpTimeSource = source;
}

long FixtureLiveCFObjects()
{
    return gCFLiveObjects;
}

long FixtureLiveRegistryHandles()
{
    return gRegistryLiveHandles;
}
long FixtureLivePlugIns()
{
    return gRegistryLivePlugIns;
}
long FixtureLiveInterfaces()
{
    return gRegistryLiveInterfaces;
}
