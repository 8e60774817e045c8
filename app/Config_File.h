// The bindings of the input actions in the file "ZV config": 246 big-endian
// bytes, the six keys, then the six element records.
#pragma once

#include <string>

#include "Host_Types.h"

constexpr const char* kConfigFileName = "ZV config";
constexpr int32_t kConfigFileBytes = 246;

// Where the bindings are kept: "ZV config" in the working directory, unless
// start-up names another place (--demo keeps them in the user's
// configuration folder).
extern std::string gConfigFilePath;

// Writes the bindings, replacing the file atomically as HostReplaceFile does,
// so a failed save keeps the earlier bindings. 0, or paramErr (-50) when
// anything failed, which is reported on standard error with the reason.
OSStatus SaveConfig();

// Clears every binding, then reads them back, finding each saved element in
// the current device list. 0, or paramErr when the file cannot be read; a
// file that is there but cannot be read, or is no regular file, is reported.
OSStatus LoadConfig();
