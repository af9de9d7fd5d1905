// The product key and the Run entry, the shell links of the start menu, the desktops and
// Quick Launch, and the uninstall entry.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestMachine.h"
#include "Setup/engine/Shortcuts.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

using enginetest::kCommonDesktop;
using enginetest::kCommonPrograms;
using enginetest::kInstallDir;
using enginetest::kQuickLaunch;
using enginetest::kUserDesktop;
using platform::Hive;

// The settings of a default installation, as the engine has them after the derivation.
InstallerSettings DefaultSettings() {
    InstallerSettings s;
    s.VersionText = L"1.4.0.672";
    s.UserName = L"Ann Example";
    s.Organization = L"Example Ltd";
    s.StartMenuFolder = L"Corvane";
    s.InstallDir = kInstallDir;
    s.StartMenuPath = std::wstring(kCommonPrograms) + L"\\Corvane";
    return s;
}

std::wstring Describe(sim::Machine& m, const std::wstring& key, const std::wstring& value) {
    const auto raw = m.registry().GetRaw(Hive::LocalMachine, key, value);
    return raw ? enginetest::DescribeValue(*raw) : L"(missing)";
}

// The links saved, one line each: link file, target, working folder, show command.
std::vector<std::wstring> Links(sim::Machine& m) {
    std::vector<std::wstring> lines;
    for (const auto& link : m.shell().SavedLinks()) {
        lines.push_back(base::Format(L"%ls -> %ls in %ls show %d args %ls", link.linkPath.c_str(),
                                     link.target.c_str(), link.workingDirectory.c_str(),
                                     link.showCmd, enginetest::Quoted(link.arguments).c_str()));
    }
    return lines;
}

std::wstring LinkLine(const std::wstring& file, const wchar_t* target) {
    return base::Format(L"%ls -> %ls\\%ls in %ls show 1 args \"\"", file.c_str(), kInstallDir,
                        target, kInstallDir);
}

TEST(ShortcutsTest, ProductKeyAndRunEntry) {
    struct Case {
        std::wstring installDir;
        std::wstring run;
    };
    // The Run entry of a folder longer than 229 characters would not fit the 256 characters
    // it was once formatted into: it is written whole.
    const std::wstring deep = L"D:\\" + std::wstring(240, L'x') + L"\\Corvane";
    const Case cases[] = {
        {kInstallDir, L"\"C:\\Program Files\\Corvane\\CorvaneWarden.exe\" /Auto"},
        {deep, L"\"" + deep + L"\\CorvaneWarden.exe\" /Auto"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.installDir.size());
        sim::Machine m;
        InstallerSettings s = DefaultSettings();
        s.InstallDir = c.installDir;
        EXPECT_EQ(RunEntryText(s.InstallDir), c.run);
        WriteProductKey(m.registry(), s);
        EXPECT_EQ(
            Describe(m, kProductKey, L"Path"),
            base::Format(L"REG_SZ %ls (%u bytes)", enginetest::Quoted(c.installDir + L'\0').c_str(),
                         static_cast<unsigned>((c.installDir.size() + 1) * 2)));
        EXPECT_EQ(Describe(m, kRunKey, kRunValue),
                  base::Format(L"REG_SZ %ls (%u bytes)", enginetest::Quoted(c.run + L'\0').c_str(),
                               static_cast<unsigned>((c.run.size() + 1) * 2)));
        ASSERT_EQ(m.registry().Writes().size(), 2u);
        EXPECT_EQ(m.registry().Writes()[0].value, L"Path");
        EXPECT_EQ(m.registry().Writes()[1].value, kRunValue);
    }
}

// A link is saved through IShellLinkW and IPersistFile, then the shell is told; a link that
// cannot be made is reported and tells the shell nothing.
TEST(ShortcutsTest, CreateShortcutSavesThenNotifies) {
    enum class Fault { None, Creation, Save, NoFolder, NoCom };
    const Fault faults[] = {Fault::None, Fault::Creation, Fault::Save, Fault::NoFolder,
                            Fault::NoCom};
    for (Fault fault : faults) {
        SCOPED_TRACE(static_cast<int>(fault));
        sim::Machine m;
        if (fault != Fault::NoCom) {
            m.system().CoInitializeEx(win::kCoinitApartmentThreaded);
        }
        std::wstring link = std::wstring(kCommonDesktop) + L"\\Corvane.lnk";
        m.files().AddFile(link, "an earlier link");
        if (fault == Fault::Creation) {
            m.shell().FailLinkCreation(win::kRegdbEClassNotReg);
        } else if (fault == Fault::Save) {
            m.shell().FailLinkSave(win::kENoInterface);
        } else if (fault == Fault::NoFolder) {
            link = L"C:\\Nowhere\\Corvane.lnk";
        }
        const bool saved = CreateShortcut(m.shell(), std::wstring(kInstallDir) + L"\\Corvane.exe",
                                          kInstallDir, link);
        EXPECT_EQ(saved, fault == Fault::None);
        if (fault == Fault::None) {
            EXPECT_EQ(Links(m), std::vector<std::wstring>{LinkLine(link, L"Corvane.exe")});
            platform::ShellLinkInfo info;
            ASSERT_TRUE(m.shell().ReadShellLink(link, &info));
            EXPECT_EQ(info.target, std::wstring(kInstallDir) + L"\\Corvane.exe");
            ASSERT_EQ(m.shell().Notifications().size(), 1u);
            EXPECT_EQ(m.shell().Notifications()[0].eventId, win::kShcneAssocChanged);
            EXPECT_EQ(m.shell().Notifications()[0].flags, win::kShcnfIdList);
        } else {
            EXPECT_TRUE(m.shell().SavedLinks().empty());
            EXPECT_TRUE(m.shell().Notifications().empty());
        }
    }
}

TEST(ShortcutsTest, LinksOfStep16) {
    const std::wstring menu = std::wstring(kCommonPrograms) + L"\\Corvane";
    const std::wstring userLink = std::wstring(kUserDesktop) + L"\\Corvane.lnk";
    const std::wstring commonLink = std::wstring(kCommonDesktop) + L"\\Corvane.lnk";
    const std::wstring quickLink = std::wstring(kQuickLaunch) + L"\\Corvane.lnk";
    const std::vector<std::wstring> menuLinks = {
        LinkLine(menu + L"\\Corvane.lnk", L"Corvane.exe"),
        LinkLine(menu + L"\\Guide.lnk", L"Guide.chm"),
        LinkLine(menu + L"\\Remove Corvane.lnk", L"Remove.exe")};
    struct Case {
        const char* name;
        std::function<void(sim::Machine&, InstallerSettings&)> setUp;
        std::vector<std::wstring> links;
        bool userLinkDeleted = true;
        bool menuFolder = true;  // the default start-menu folder exists afterwards
    };
    auto with = [](std::vector<std::wstring> a, const std::vector<std::wstring>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<Case> cases = {
        {"everything", [](sim::Machine&, InstallerSettings&) {},
         with(menuLinks,
              {LinkLine(commonLink, L"Corvane.exe"), LinkLine(quickLink, L"Corvane.exe")})},
        {"no start-menu path: no folder, no links there",
         [](sim::Machine&, InstallerSettings& s) { s.StartMenuPath.clear(); },
         {LinkLine(commonLink, L"Corvane.exe"), LinkLine(quickLink, L"Corvane.exe")},
         true,
         false},
        {"a folder two levels deep",
         [](sim::Machine&, InstallerSettings& s) {
             s.StartMenuPath = std::wstring(kCommonPrograms) + L"\\Tools\\Corvane";
         },
         with({LinkLine(std::wstring(kCommonPrograms) + L"\\Tools\\Corvane\\Corvane.lnk",
                        L"Corvane.exe"),
               LinkLine(std::wstring(kCommonPrograms) + L"\\Tools\\Corvane\\Guide.lnk",
                        L"Guide.chm"),
               LinkLine(std::wstring(kCommonPrograms) + L"\\Tools\\Corvane\\Remove Corvane.lnk",
                        L"Remove.exe")},
              {LinkLine(commonLink, L"Corvane.exe"), LinkLine(quickLink, L"Corvane.exe")}),
         true, false},
        {"no icons",
         [](sim::Machine&, InstallerSettings& s) {
             s.DesktopIcon = 0;
             s.QuickLaunchIcon = 0;
         },
         menuLinks},
        {"no Quick Launch folder: no link, and the folder is not made",
         [&](sim::Machine& m, InstallerSettings&) { m.files().RemoveDirectory(kQuickLaunch); },
         with(menuLinks, {LinkLine(commonLink, L"Corvane.exe")})},
        {"desktops the shell cannot give: passed over",
         [](sim::Machine& m, InstallerSettings&) {
             m.shell().FailFolder(win::kCsidlDesktopDirectory);
             m.shell().FailFolder(win::kCsidlCommonDesktopDirectory);
             m.shell().FailFolder(win::kCsidlAppData);
         },
         menuLinks, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        m.system().CoInitializeEx(win::kCoinitApartmentThreaded);
        m.files().AddFile(userLink, "the user's own link");
        // What a desktop path on the current drive would reach.
        m.files().AddFile(L"C:\\Corvane.lnk", "a file at the root");
        InstallerSettings s = DefaultSettings();
        c.setUp(m, s);
        const bool hadQuickLaunch = m.files().IsDirectory(kQuickLaunch);
        CreateShortcuts(m.platform(), s);
        enginetest::ExpectSameLines(Links(m), c.links);
        EXPECT_EQ(m.shell().Notifications().size(), c.links.size());
        // The user's own desktop link goes whether or not a desktop icon is wanted.
        EXPECT_EQ(m.files().Exists(userLink), !c.userLinkDeleted);
        EXPECT_TRUE(m.files().Exists(L"C:\\Corvane.lnk"));
        EXPECT_EQ(m.files().IsDirectory(menu), c.menuFolder);
        // The Quick Launch folder is never made.
        EXPECT_EQ(m.files().IsDirectory(kQuickLaunch), hadQuickLaunch);
    }
}

TEST(ShortcutsTest, UninstallEntry) {
    struct Case {
        const char* name;
        std::function<void(InstallerSettings&)> setUp;
        const wchar_t* uninstall;
        const wchar_t* startMenuFolder;  // null: not written
    };
    const Case cases[] = {
        {"defaults", [](InstallerSettings&) {},
         L"REG_SZ \"\\\"C:\\\\Program Files\\\\Corvane\\\\Remove.exe\\\"\\x00\" (76 bytes)",
         L"REG_SZ \"Corvane\\x00\" (16 bytes)"},
        {"no start-menu folder name",
         [](InstallerSettings& s) {
             s.StartMenuFolder.clear();
             s.UserName.clear();
             s.Organization.clear();
         },
         L"REG_SZ \"\\\"C:\\\\Program Files\\\\Corvane\\\\Remove.exe\\\"\\x00\" (76 bytes)",
         nullptr},
        {"start-menu links switched off, the folder name still recorded",
         [](InstallerSettings& s) {
             s.StartMenuPath.clear();
             s.StartMenuFolder = L"Tools\\Corvane";
             s.InstallDir = L"D:\\Apps";
         },
         L"REG_SZ \"\\\"D:\\\\Apps\\\\Remove.exe\\\"\\x00\" (42 bytes)",
         L"REG_SZ \"Tools\\\\Corvane\\x00\" (28 bytes)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        m.registry().SetString(Hive::LocalMachine, kUninstallKey, L"StartMenuFolder", L"earlier");
        InstallerSettings s = DefaultSettings();
        c.setUp(s);
        WriteUninstallEntry(m.registry(), s);

        std::vector<std::wstring> order;
        for (const sim::RegWrite& w : m.registry().Writes()) {
            EXPECT_TRUE(base::EqualsNoCase(w.key, kUninstallKey));
            order.push_back(w.value);
        }
        std::vector<std::wstring> expectedOrder = {
            L"DisplayName",     L"DisplayVersion",         L"Publisher",
            L"RegisteredOwner", L"RegisteredOrganization", L"URLInfoAbout",
            L"UninstallString"};
        if (c.startMenuFolder != nullptr) {
            expectedOrder.push_back(L"StartMenuFolder");
        }
        expectedOrder.push_back(L"NoModify");
        expectedOrder.push_back(L"NoRepair");
        EXPECT_EQ(order, expectedOrder);

        const std::wstring owner = enginetest::Quoted(s.UserName + L'\0');
        const std::wstring organization = enginetest::Quoted(s.Organization + L'\0');
        EXPECT_EQ(Describe(m, kUninstallKey, L"DisplayName"),
                  L"REG_SZ \"Corvane\\x00\" (16 bytes)");
        EXPECT_EQ(Describe(m, kUninstallKey, L"DisplayVersion"),
                  L"REG_SZ \"1.4.0.672\\x00\" (20 bytes)");
        EXPECT_EQ(Describe(m, kUninstallKey, L"Publisher"),
                  L"REG_SZ \"Corvane Software\\x00\" (34 bytes)");
        EXPECT_EQ(Describe(m, kUninstallKey, L"RegisteredOwner"),
                  base::Format(L"REG_SZ %ls (%u bytes)", owner.c_str(),
                               static_cast<unsigned>(s.UserName.size() * 2 + 2)));
        EXPECT_EQ(Describe(m, kUninstallKey, L"RegisteredOrganization"),
                  base::Format(L"REG_SZ %ls (%u bytes)", organization.c_str(),
                               static_cast<unsigned>(s.Organization.size() * 2 + 2)));
        EXPECT_EQ(Describe(m, kUninstallKey, L"URLInfoAbout"),
                  L"REG_SZ \"https://www.example.com/corvane/\\x00\" (66 bytes)");
        EXPECT_EQ(Describe(m, kUninstallKey, L"UninstallString"), c.uninstall);
        EXPECT_EQ(Describe(m, kUninstallKey, L"StartMenuFolder"),
                  c.startMenuFolder != nullptr ? c.startMenuFolder
                                               : L"REG_SZ \"earlier\\x00\" (16 bytes)");
        EXPECT_EQ(Describe(m, kUninstallKey, L"NoModify"), L"REG_DWORD 0x00000001");
        EXPECT_EQ(Describe(m, kUninstallKey, L"NoRepair"), L"REG_DWORD 0x00000001");
    }
}

}  // namespace
