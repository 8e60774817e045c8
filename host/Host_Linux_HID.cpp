#include "Host_Registry.h"

const HostRegistryBackend& HostLinuxRegistryBackend()
{
    static const HostRegistryBackend backend{};
    return backend;
}
