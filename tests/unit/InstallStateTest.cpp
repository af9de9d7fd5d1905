// What a whole installation leaves on the machine, in each run mode: the whole program run
// on the simulated Windows, and every file, folder, shell link and registry value that is
// new or changed afterwards compared with one expected table.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestMachine.h"
#include "Setup/flow/ExitCodes.h"
#include "Setup/flow/SetupApp.h"
#include "Setup/res/resource.h"
#include "UiTestMachine.h"
#include "sim/Machine.h"

namespace {

std::unique_ptr<sim::Machine> MakeMachine(const wchar_t* commandLine) {
    auto m = uitest::MakeMachine(win::kLangEnglishUs, std::chrono::milliseconds(5000));
    m->shell().SetCommandLine(commandLine);
    enginetest::AddProductFiles(*m);
    // An earlier link on the user's own desktop, which the installation removes.
    m->files().AddFile(std::wstring(enginetest::kUserDesktop) + L"\\Corvane.lnk", "old link");
    return m;
}

// The wizard: the names typed on the User Information page, the default start-menu
// folder and both icons, "restart later" on the Finish page.
TEST(InstallStateTest, Wizard) {
    auto m = MakeMachine(L"Setup.exe");
    auto& user = m->ui().User();
    user.OnPage(IDD_WELCOME, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
    user.OnPage(IDD_LICENSE, [](sim::PageDriver& p) {
        p.Click(IDC_ACCEPT);
        p.Click(IDC_NEXT);
    });
    user.OnPage(IDD_USERINFO, [](sim::PageDriver& p) {
        p.Type(IDC_USERNAME, L"Ann Example");
        p.Type(IDC_ORGANIZATION, L"Example Ltd");
        p.Click(IDC_NEXT);
    });
    user.OnPage(IDD_STARTMENUFOLDER, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
    user.OnPage(IDD_ADDITIONALTASK, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
    user.OnPage(IDD_READY, [](sim::PageDriver& p) { p.Click(IDC_NEXT); });
    user.OnPage(IDD_FINISH, [](sim::PageDriver& p) {
        p.Click(IDC_RESTART_NO);
        p.Click(IDC_NEXT);
    });

    const enginetest::State before = enginetest::Snapshot(*m);
    InstallerSettings settings;
    SetupProcess process;
    EXPECT_EQ(RunSetup(m->platform(), settings, process), kExitRestartRequired);
    uitest::ExpectNoUiErrors(*m);

    const std::vector<std::wstring> kExpected = {
        LR"(file C:\Program Files\Corvane\Console.exe = "Console.exe new")",
        LR"(file C:\Program Files\Corvane\Console.txt = "Console.txt new")",
        LR"(file C:\Program Files\Corvane\Corvane.exe = "Corvane.exe new")",
        LR"(file C:\Program Files\Corvane\CorvaneWarden.exe = "Warden.exe new")",
        LR"(file C:\Program Files\Corvane\Guide.chm = "Guide.chm new")",
        LR"(file C:\Program Files\Corvane\Keeper.exe = "Keeper.exe new")",
        LR"(file C:\Program Files\Corvane\MenuExt.dll = "MenuExt.dll new")",
        LR"(file C:\Program Files\Corvane\Persist.exe = "Persist.exe new")",
        LR"(file C:\Program Files\Corvane\Remove.exe = "Remove.exe new")",
        LR"(file C:\Program Files\Corvane\lang.ini = "lang.ini new")",
        // MD5 over UTF-16LE of the GUID below and "@NOPASSWD", worked out independently.
        LR"(file C:\Program Files\Corvane\prefs.dat = "[common]\r\nhash=a883dee74548a0db948430141eb1b68c\r\n")",
        LR"(file C:\Program Files\Corvane\terms.rtf = "terms.rtf new")",
        LR"(file C:\Windows\cvfltfp.dat = binary, 2304 bytes)",
        LR"(file C:\Windows\system32\drivers\cvflt.sys = "cvflt.sys new")",
        LR"(folder C:\Program Files\Corvane)",
        LR"(folder C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Corvane)",
        LR"(key HKLM\SOFTWARE\Corvane)",
        LR"(key HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall)",
        LR"(key HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718})",
        LR"(key HKLM\SYSTEM\CurrentControlSet\Services\cvflt)",
        LR"(link C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Corvane\Corvane.lnk = -> C:\Program Files\Corvane\Corvane.exe in C:\Program Files\Corvane, arguments "", show 1)",
        LR"(link C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Corvane\Guide.lnk = -> C:\Program Files\Corvane\Guide.chm in C:\Program Files\Corvane, arguments "", show 1)",
        LR"(link C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Corvane\Remove Corvane.lnk = -> C:\Program Files\Corvane\Remove.exe in C:\Program Files\Corvane, arguments "", show 1)",
        LR"(link C:\Users\Public\Desktop\Corvane.lnk = -> C:\Program Files\Corvane\Corvane.exe in C:\Program Files\Corvane, arguments "", show 1)",
        LR"(link C:\Users\User\AppData\Roaming\Microsoft\Internet Explorer\Quick Launch\Corvane.lnk = -> C:\Program Files\Corvane\Corvane.exe in C:\Program Files\Corvane, arguments "", show 1)",
        LR"(reg HKLM\SOFTWARE\Corvane : Path = REG_SZ "C:\\Program Files\\Corvane\x00" (50 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run : Corvane Warden = REG_SZ "\"C:\\Program Files\\Corvane\\CorvaneWarden.exe\" /Auto\x00" (102 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : DisplayName = REG_SZ "Corvane\x00" (16 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : DisplayVersion = REG_SZ "1.4.0.672\x00" (20 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : NoModify = REG_DWORD 0x00000001)",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : NoRepair = REG_DWORD 0x00000001)",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : Publisher = REG_SZ "Corvane Software\x00" (34 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : RegisteredOrganization = REG_SZ "Example Ltd\x00" (24 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : RegisteredOwner = REG_SZ "Ann Example\x00" (24 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : StartMenuFolder = REG_SZ "Corvane\x00" (16 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : URLInfoAbout = REG_SZ "https://www.example.com/corvane/\x00" (66 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : UninstallString = REG_SZ "\"C:\\Program Files\\Corvane\\Remove.exe\"\x00" (76 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Control\Class\{4D36E967-E325-11CE-BFC1-08002BE10318} : UpperFilters = REG_MULTI_SZ ["PartMgr", "cvflt", ""] (30 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Control\Class\{71A27CDD-812A-11D0-BEC7-08002BE2092F} : LowerFilters = REG_MULTI_SZ ["cvflt", ""] (14 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : Control = REG_DWORD 0x10000041)",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : ErrorControl = REG_DWORD 0x00000001)",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : GUID = REG_SZ "{10000001-5a17-4c0e-9d21-005056c00008}\x00" (78 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : Group = REG_SZ "System Bus Extender\x00" (40 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : ImagePath = REG_SZ "SYSTEM32\\drivers\\cvflt.sys\x00" (54 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : Start = REG_DWORD 0x00000000)",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : Sync = REG_SZ "C:\\Windows\\bootstat.dat;C:\\Users\\*\\Corvane\\prefs.dat\x00" (106 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : Type = REG_DWORD 0x00000001)",
        LR"(removed file C:\Users\User\Desktop\Corvane.lnk)",
    };
    enginetest::ExpectSameLines(enginetest::Changes(before, enginetest::Snapshot(*m)), kExpected);
}

// Silent, with a configuration file: another installation folder, the desktop icon, no
// Quick Launch icon, the start-menu links, a password, settings for prefs.dat and volumes.
TEST(InstallStateTest, SilentWithConfigurationFile) {
    auto m = MakeMachine(L"Setup.exe -silent -config:C:\\Setup\\setup.ini");
    m->volumes().AddFixedVolume(L'D', 1ll << 34, 1ull << 33);
    m->files().AddFile(L"C:\\Setup\\setup.ini",
                       "[common]\r\n"
                       "path=D:\\Apps\\Corvane\r\n"
                       "desktopicon=1\r\n"
                       "quicklaunchicon=0\r\n"
                       "startupmenushortcut=1\r\n"
                       "password=secret\r\n"
                       "RAM=512\r\n"
                       "trayicon=1\r\n"
                       "veil=C,D\r\n"
                       "[space]\r\n"
                       "disable=E\r\n");

    const enginetest::State before = enginetest::Snapshot(*m);
    InstallerSettings settings;
    SetupProcess process;
    EXPECT_EQ(RunSetup(m->platform(), settings, process), kExitRestartRequired);
    EXPECT_TRUE(m->ui().MessageBoxes().empty());

    const std::vector<std::wstring> kExpected = {
        LR"(file C:\Windows\cvfltfp.dat = binary, 2304 bytes)",
        LR"(file C:\Windows\system32\drivers\cvflt.sys = "cvflt.sys new")",
        // The volume markers "veil" names: C: (100 GiB) and D: (16 GiB), both with flag 1.
        LR"(file C:\cvflt0.sys = binary, 56614912 bytes hidden system)",
        LR"(file D:\Apps\Corvane\Console.exe = "Console.exe new")",
        LR"(file D:\Apps\Corvane\Console.txt = "Console.txt new")",
        LR"(file D:\Apps\Corvane\Corvane.exe = "Corvane.exe new")",
        LR"(file D:\Apps\Corvane\CorvaneWarden.exe = "Warden.exe new")",
        LR"(file D:\Apps\Corvane\Guide.chm = "Guide.chm new")",
        LR"(file D:\Apps\Corvane\Keeper.exe = "Keeper.exe new")",
        LR"(file D:\Apps\Corvane\MenuExt.dll = "MenuExt.dll new")",
        LR"(file D:\Apps\Corvane\Persist.exe = "Persist.exe new")",
        LR"(file D:\Apps\Corvane\Remove.exe = "Remove.exe new")",
        LR"(file D:\Apps\Corvane\lang.ini = "lang.ini new")",
        // MD5 over UTF-16LE of the GUID below and "secret", worked out independently.
        LR"(file D:\Apps\Corvane\prefs.dat = "[common]\r\nhash=4e65cebb7e9e75fe393c9804bd5d3f75\r\nRAM=512\r\ntrayicon=1\r\n[space]\r\ndisable=E\r\n")",
        LR"(file D:\Apps\Corvane\terms.rtf = "terms.rtf new")",
        LR"(file D:\cvflt0.sys = binary, 9134080 bytes hidden system)",
        LR"(folder C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Corvane)",
        LR"(folder D:\Apps)",
        LR"(folder D:\Apps\Corvane)",
        LR"(key HKLM\SOFTWARE\Corvane)",
        LR"(key HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall)",
        LR"(key HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718})",
        LR"(key HKLM\SYSTEM\CurrentControlSet\Services\cvflt)",
        LR"(link C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Corvane\Corvane.lnk = -> D:\Apps\Corvane\Corvane.exe in D:\Apps\Corvane, arguments "", show 1)",
        LR"(link C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Corvane\Guide.lnk = -> D:\Apps\Corvane\Guide.chm in D:\Apps\Corvane, arguments "", show 1)",
        LR"(link C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Corvane\Remove Corvane.lnk = -> D:\Apps\Corvane\Remove.exe in D:\Apps\Corvane, arguments "", show 1)",
        LR"(link C:\Users\Public\Desktop\Corvane.lnk = -> D:\Apps\Corvane\Corvane.exe in D:\Apps\Corvane, arguments "", show 1)",
        LR"(reg HKLM\SOFTWARE\Corvane : Path = REG_SZ "D:\\Apps\\Corvane\x00" (32 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run : Corvane Warden = REG_SZ "\"D:\\Apps\\Corvane\\CorvaneWarden.exe\" /Auto\x00" (84 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : DisplayName = REG_SZ "Corvane\x00" (16 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : DisplayVersion = REG_SZ "1.4.0.672\x00" (20 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : NoModify = REG_DWORD 0x00000001)",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : NoRepair = REG_DWORD 0x00000001)",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : Publisher = REG_SZ "Corvane Software\x00" (34 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : RegisteredOrganization = REG_SZ "\x00" (2 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : RegisteredOwner = REG_SZ "User\x00" (10 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : StartMenuFolder = REG_SZ "Corvane\x00" (16 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : URLInfoAbout = REG_SZ "https://www.example.com/corvane/\x00" (66 bytes))",
        LR"(reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718} : UninstallString = REG_SZ "\"D:\\Apps\\Corvane\\Remove.exe\"\x00" (58 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Control\Class\{4D36E967-E325-11CE-BFC1-08002BE10318} : UpperFilters = REG_MULTI_SZ ["PartMgr", "cvflt", ""] (30 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Control\Class\{71A27CDD-812A-11D0-BEC7-08002BE2092F} : LowerFilters = REG_MULTI_SZ ["cvflt", ""] (14 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : Control = REG_DWORD 0x10000041)",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : ErrorControl = REG_DWORD 0x00000001)",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : GUID = REG_SZ "{10000001-5a17-4c0e-9d21-005056c00008}\x00" (78 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : Group = REG_SZ "System Bus Extender\x00" (40 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : ImagePath = REG_SZ "SYSTEM32\\drivers\\cvflt.sys\x00" (54 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : Start = REG_DWORD 0x00000000)",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : Sync = REG_SZ "C:\\Windows\\bootstat.dat;C:\\Users\\*\\Corvane\\prefs.dat\x00" (106 bytes))",
        LR"(reg HKLM\SYSTEM\CurrentControlSet\Services\cvflt : Type = REG_DWORD 0x00000001)",
        LR"(removed file C:\Users\User\Desktop\Corvane.lnk)",
    };
    enginetest::ExpectSameLines(enginetest::Changes(before, enginetest::Snapshot(*m)), kExpected);
}

}  // namespace
