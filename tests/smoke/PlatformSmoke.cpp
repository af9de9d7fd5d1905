// A small program built like the product (win32 thread model, static, nothing newer than
// Windows XP imported) that links every Win32 adapter and exercises a few of them. The
// static checks read its import table; under Wine it shows that the adapters work outside
// the GoogleTest programs too. Exit code 0 when every probe behaved.
#include <cstdio>
#include <string>

#include "base/Text.h"
#include "platform/Platform.h"
#include "win32/Win32Platform.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok)
        ++failures;
}

}  // namespace

int main() {
    platform::Platform& p = win32::RealPlatform();

    platform::OsVersion version;
    Check(p.system.GetVersion(&version) && version.major >= 5, "GetVersion");
    std::printf("      Windows %u.%u.%u\n", version.major, version.minor, version.build);

    std::wstring systemDir;
    Check(p.system.GetSystemDirectory(&systemDir) && systemDir.size() > 3, "GetSystemDirectory");

    std::wstring module;
    Check(p.files.GetModuleFileName(&module) &&
              base::EqualsNoCase(module.substr(module.size() - 18), L"platform_smoke.exe"),
          "GetModuleFileName");

    Check(p.volumes.GetDriveType(L"C:\\") == win::kDriveFixed, "GetDriveType(C:)");

    std::vector<std::wstring> args;
    Check(p.shell.CommandLineToArgv(L"x.exe \"a b\" c", &args) && args.size() == 3 &&
              args[1] == L"a b",
          "CommandLineToArgv");

    const std::wstring key = L"Software\\CorvaneSmoke";
    const uint32_t dword = 0x10000041;
    uint32_t got = 0, size = sizeof got, type = 0;
    Check(p.registry.SetValue(platform::Hive::CurrentUser, key, L"Control", win::kRegDword, &dword,
                              sizeof dword) == win::kErrorSuccess &&
              p.registry.GetValue(platform::Hive::CurrentUser, key, L"Control", &type, &got,
                                  &size) == win::kErrorSuccess &&
              type == win::kRegDword && got == dword,
          "registry DWORD round trip");
    p.registry.DeleteKeyTree(platform::Hive::CurrentUser, key);

    p.system.SetLastError(1234);
    Check(p.system.GetLastError() == 1234, "last-error value");

    return failures == 0 ? 0 : 1;
}
