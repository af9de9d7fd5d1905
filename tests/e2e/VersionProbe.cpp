// Reports what the System port's adapter says about Windows, as Setup.exe would see it: the
// version GetVersionExW gives under Setup.exe's own manifest (built in through
// VersionProbe.rc; version_probe_bare has no manifest) and the WOW64 probe. One line:
//
//   version MAJOR.MINOR.BUILD platform=ID wow64=absent|failed|yes|no
//
// The Wine runs set Wine's Windows version and compare the line with the version Windows
// documents for it.
#include <cstdio>

#include "platform/System.h"
#include "win32/Win32Platform.h"

int main() {
    platform::System& system = win32::RealPlatform().system;
    platform::OsVersion version;
    if (!system.GetVersion(&version)) {
        std::printf("version failed error=%u\n", static_cast<unsigned>(system.GetLastError()));
        return 1;
    }
    const char* wow64 = "no";
    switch (system.QueryWow64()) {
        case platform::Wow64Probe::Absent:
            wow64 = "absent";
            break;
        case platform::Wow64Probe::Failed:
            wow64 = "failed";
            break;
        case platform::Wow64Probe::Yes:
            wow64 = "yes";
            break;
        case platform::Wow64Probe::No:
            break;
    }
    std::printf("version %u.%u.%u platform=%u wow64=%s\n", static_cast<unsigned>(version.major),
                static_cast<unsigned>(version.minor), static_cast<unsigned>(version.build),
                static_cast<unsigned>(version.platformId), wow64);
    return 0;
}
