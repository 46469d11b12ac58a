#pragma once
// The version of the emulated Windows (OSVERSIONINFO): the values that
// Windows keeps in the local machine's hive when they are there, otherwise
// the release that the platform setting stands for.

#include <cstdint>
#include <string>

#include "platform/spooler/spooler.h"

namespace platform {

class Registry;

struct WindowsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::string servicePack;  // szCSDVersion, at most 127 characters
};

// NT: "CurrentVersion" ("5.0"), "CurrentBuildNumber" and "CSDVersion" of
// Software\Microsoft\Windows NT\CurrentVersion; 95/98/Me: "VersionNumber"
// ("4.10.2222") and "SubVersionNumber" of Software\Microsoft\Windows\CurrentVersion.
// Without them: 4.10.2222 (98 SE), 4.0.1381 (NT 4), 5.0.2195 (2000).
WindowsVersion windowsVersion(const Registry& registry, WindowsPlatform platform);

inline constexpr const char* kNtVersionKey = "Software\\Microsoft\\Windows NT\\CurrentVersion";
inline constexpr const char* kWin9xVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";

}  // namespace platform
