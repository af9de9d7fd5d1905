// The User Information and Start Menu Folder pages on the simulated Windows: proposals from
// the registry and the settings, the 64-character check, the start-menu folder list and
// what Next and Back store.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Setup/flow/InstallerSettings.h"
#include "Setup/pages/StartMenuFolderDlg.h"
#include "Setup/pages/UserInformationDlg.h"
#include "Setup/res/resource.h"
#include "UiTestMachine.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

using platform::Hive;

constexpr const wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const wchar_t kCommonPrograms[] = L"C:\\SM\\Common";
constexpr const wchar_t kUserPrograms[] = L"C:\\SM\\User";

using uitest::MakeMachine;

using uitest::ExpectNoUiErrors;

std::string Utf8(const std::wstring& s) {
    return base::ToUtf8(s);
}

std::vector<uint8_t> Utf16Bytes(const std::wstring& s, bool terminator) {
    std::vector<uint8_t> bytes = base::ToUtf16LE(s);
    if (terminator) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

// ---- User Information: proposals ----

// A registry value as the test stores it: raw bytes of a type.
struct RegValue {
    uint32_t type;
    std::vector<uint8_t> bytes;
};

TEST(PageUserInfoTest, ProposalsComeFromTheSettingsOrTheRegistry) {
    const std::wstring name127(127, L'n');
    const std::wstring name128(128, L'm');
    struct Case {
        const char* name;
        std::optional<RegValue> owner;         // nullopt: the value is missing
        std::optional<RegValue> organization;  // nullopt: the value is missing
        const wchar_t* settingsUser;
        const wchar_t* settingsOrg;
        std::wstring shownUser;
        std::wstring shownOrg;
    };
    const Case cases[] = {
        {"fresh run: the registered owner", RegValue{win::kRegSz, Utf16Bytes(L"Jane Doe", true)},
         RegValue{win::kRegSz, Utf16Bytes(L"Acme", true)}, L"", L"", L"Jane Doe", L"Acme"},
        {"the settings win", RegValue{win::kRegSz, Utf16Bytes(L"Jane Doe", true)},
         RegValue{win::kRegSz, Utf16Bytes(L"Acme", true)}, L"Typed", L"Typed Org", L"Typed",
         L"Typed Org"},
        {"an empty setting takes the registry's", RegValue{win::kRegSz, Utf16Bytes(L"Jane", true)},
         RegValue{win::kRegSz, Utf16Bytes(L"Acme", true)}, L"Typed", L"", L"Typed", L"Acme"},
        {"missing values", std::nullopt, std::nullopt, L"", L"", L"", L""},
        // The type is not examined: the bytes are read as text up to the first null.
        {"a DWORD as text", RegValue{win::kRegDword, {0x41, 0x00, 0x42, 0x00}}, std::nullopt, L"",
         L"", L"AB", L""},
        {"text stops at the first null",
         RegValue{win::kRegMultiSz, Utf16Bytes(std::wstring(L"one") + L'\0' + L"two", true)},
         std::nullopt, L"", L"", L"one", L""},
        // 127 characters and the terminator fill the 256-byte buffer exactly.
        {"127 characters", RegValue{win::kRegSz, Utf16Bytes(name127, true)}, std::nullopt, L"", L"",
         name127, L""},
        // 128 characters and the terminator do not fit: SHGetValueW reports more data and
        // the proposal is empty.
        {"128 characters", RegValue{win::kRegSz, Utf16Bytes(name128, true)},
         RegValue{win::kRegSz, Utf16Bytes(name128, true)}, L"", L"", L"", L""},
        // 256 bytes without a terminator: 128 characters do not fit either.
        {"256 bytes, no terminator", RegValue{win::kRegSz, Utf16Bytes(name128, false)},
         std::nullopt, L"", L"", L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto machine = MakeMachine();
        sim::SimRegistry& registry = machine->registry();
        registry.DeleteValue(Hive::LocalMachine, kCurrentVersion, L"RegisteredOwner");
        registry.DeleteValue(Hive::LocalMachine, kCurrentVersion, L"RegisteredOrganization");
        if (c.owner) {
            registry.SetRaw(Hive::LocalMachine, kCurrentVersion, L"RegisteredOwner", c.owner->type,
                            c.owner->bytes);
        }
        if (c.organization) {
            registry.SetRaw(Hive::LocalMachine, kCurrentVersion, L"RegisteredOrganization",
                            c.organization->type, c.organization->bytes);
        }
        InstallerSettings settings;
        settings.UserName = c.settingsUser;
        settings.Organization = c.settingsOrg;
        CUserInformationDlg page(settings, machine->platform());
        std::wstring user, org;
        machine->ui().User().AnswerMessageBox(win::kIdOk);
        machine->ui().User().OnPage(IDD_USERINFO, [&](sim::PageDriver& p) {
            user = p.Text(IDC_USERNAME);
            org = p.Text(IDC_ORGANIZATION);
            p.PressKey(win::kVkEscape);
        });
        EXPECT_EQ(page.DoModal(), win::kIdCancel);
        EXPECT_EQ(user, c.shownUser) << "got " << Utf8(user) << " expected " << Utf8(c.shownUser);
        EXPECT_EQ(org, c.shownOrg) << "got " << Utf8(org) << " expected " << Utf8(c.shownOrg);
        // Cancel stores nothing, and the registry is only read.
        EXPECT_TRUE(page.m_strUserName.empty());
        EXPECT_TRUE(page.m_strOrganization.empty());
        EXPECT_TRUE(registry.Writes().empty());
        ExpectNoUiErrors(*machine);
    }
}

// ---- User Information: Next and Back ----

TEST(PageUserInfoTest, NextAndBackStoreTheTextsWithinTheLimit) {
    const std::wstring s64(64, L'x');
    const std::wstring s65(65, L'y');
    enum class Button { Next, Back };
    struct Case {
        const char* name;
        Button button;
        std::wstring user;  // typed over the proposal
        std::wstring org;
        bool ends;
        int limitMessages;  // "Enter no more than 64 characters."
        int focusAfter;     // the box with the offending text, when the page stays open
    };
    const Case cases[] = {
        {"next", Button::Next, L"Jane", L"Acme", true, 0, 0},
        {"empty organisation", Button::Next, L"Jane", L"", true, 0, 0},
        {"blank user name counts", Button::Next, L"  ", L"", true, 0, 0},
        {"64 characters", Button::Next, s64, s64, true, 0, 0},
        {"empty user name: nothing", Button::Next, L"", L"Acme", false, 0, 0},
        {"user name too long", Button::Next, s65, L"Acme", false, 1, IDC_USERNAME},
        {"organisation too long", Button::Next, L"Jane", s65, false, 1, IDC_ORGANIZATION},
        {"back", Button::Back, L"Jane", L"Acme", true, 0, 0},
        {"back with an empty user name", Button::Back, L"", L"", true, 0, 0},
        {"back, too long", Button::Back, s65, L"", false, 1, IDC_USERNAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto machine = MakeMachine();
        sim::SimUi& ui = machine->ui();
        InstallerSettings settings;
        CUserInformationDlg page(settings, machine->platform());
        bool ended = false;
        int focus = 0;
        int selStart = -1, selEnd = -1;
        if (c.limitMessages) {
            ui.User().AnswerMessageBox(win::kIdOk);
        }
        ui.User().AnswerMessageBox(win::kIdOk);  // the exit question when the page stays open
        ui.User().OnPage(IDD_USERINFO, [&](sim::PageDriver& p) {
            // Set as a program would: the typing limit does not apply.
            ui.SetWindowText(ui.GetDlgItem(p.Dialog(), IDC_USERNAME), c.user);
            ui.SetWindowText(ui.GetDlgItem(p.Dialog(), IDC_ORGANIZATION), c.org);
            p.Click(c.button == Button::Next ? IDC_NEXT : IDC_BACK);
            ended = p.Ended();
            if (!ended) {
                focus = p.FocusId();
                if (focus != 0) {
                    const auto details = ui.Control(p.Dialog(), focus);
                    selStart = details.selStart;
                    selEnd = details.selEnd;
                }
                p.Click(win::kIdCancel);
            }
        });
        page.DoModal();
        EXPECT_EQ(ended, c.ends);
        int limitMessages = 0;
        for (const auto& box : ui.MessageBoxes()) {
            if (box.text == L"Enter no more than 64 characters.") {
                ++limitMessages;
                EXPECT_EQ(box.flags, win::kMbIconExclamation);
            }
        }
        EXPECT_EQ(limitMessages, c.limitMessages);
        if (c.ends) {
            EXPECT_EQ(page.m_nResult, c.button == Button::Next ? PageNext : PageBack);
            EXPECT_EQ(page.m_strUserName, c.user) << "got " << Utf8(page.m_strUserName);
            EXPECT_EQ(page.m_strOrganization, c.org) << "got " << Utf8(page.m_strOrganization);
        } else {
            EXPECT_EQ(page.m_nResult, PageCancel);
        }
        if (c.focusAfter != 0) {
            EXPECT_EQ(focus, c.focusAfter);
            EXPECT_EQ(selStart, 0);
            EXPECT_EQ(selEnd,
                      static_cast<int>((c.focusAfter == IDC_USERNAME ? c.user : c.org).size()));
        }
        ExpectNoUiErrors(*machine);
    }
}

// A registered owner longer than 64 characters is shown in full; Next shows the length
// message until the user shortens it. The user cannot type more than 64 characters.
TEST(PageUserInfoTest, LongRegisteredOwnerMustBeShortened) {
    auto machine = MakeMachine();
    sim::SimUi& ui = machine->ui();
    const std::wstring owner(70, L'o');
    machine->registry().SetString(Hive::LocalMachine, kCurrentVersion, L"RegisteredOwner", owner);
    InstallerSettings settings;
    CUserInformationDlg page(settings, machine->platform());
    std::wstring shown;
    bool endedAfterFirstNext = true;
    std::wstring typed;
    ui.User().AnswerMessageBox(win::kIdOk);
    ui.User().OnPage(IDD_USERINFO, [&](sim::PageDriver& p) {
        shown = p.Text(IDC_USERNAME);
        p.Click(IDC_NEXT);
        endedAfterFirstNext = p.Ended();
        p.Type(IDC_USERNAME, std::wstring(80, L't'));
        typed = p.Text(IDC_USERNAME);
        p.Click(IDC_NEXT);
    });
    EXPECT_EQ(page.DoModal(), win::kIdOk);
    EXPECT_EQ(shown, owner);
    EXPECT_FALSE(endedAfterFirstNext);
    EXPECT_EQ(typed, std::wstring(64, L't'));
    EXPECT_EQ(page.m_nResult, PageNext);
    EXPECT_EQ(page.m_strUserName, typed);
    ASSERT_EQ(ui.MessageBoxes().size(), 1u);
    ExpectNoUiErrors(*machine);
}

TEST(PageUserInfoTest, TitleInBothLanguages) {
    struct Case {
        uint16_t language;
        const wchar_t* title;
    };
    const Case cases[] = {
        {win::kLangEnglishUs, L"User Information"},
        {win::kLangChineseSimplified, L"用户信息"},
    };
    for (const Case& c : cases) {
        auto machine = MakeMachine(c.language);
        InstallerSettings settings;
        CUserInformationDlg page(settings, machine->platform());
        std::wstring title;
        machine->ui().User().OnPage(IDD_USERINFO, [&](sim::PageDriver& p) {
            title = p.Text(IDC_TITLE);
            p.Click(IDC_BACK);
        });
        page.DoModal();
        EXPECT_EQ(title, c.title) << "got " << Utf8(title) << " language " << c.language;
    }
}

// ---- Start Menu Folder: the list ----

// The two start-menu program folders, each with its entries (a trailing backslash marks a
// folder; anything else is a file).
struct FolderSetup {
    std::vector<std::wstring> common;
    std::vector<std::wstring> user;
};

void MakeStartMenu(sim::Machine& machine, const FolderSetup& setup) {
    machine.shell().SetSpecialFolder(win::kCsidlCommonPrograms, kCommonPrograms);
    machine.shell().SetSpecialFolder(win::kCsidlPrograms, kUserPrograms);
    const std::pair<const wchar_t*, const std::vector<std::wstring>*> roots[] = {
        {kCommonPrograms, &setup.common}, {kUserPrograms, &setup.user}};
    for (const auto& root : roots) {
        for (const std::wstring& entry : *root.second) {
            const std::wstring path = std::wstring(root.first) + L"\\" + entry;
            if (!entry.empty() && entry.back() == L'\\') {
                ASSERT_TRUE(machine.files().MakeFolders(path.substr(0, path.size() - 1)));
            } else {
                ASSERT_TRUE(machine.files().AddFile(path, "link"));
            }
        }
    }
}

struct FolderPageSeen {
    std::vector<std::wstring> items;
    int selection = -2;
    std::wstring edit;
    std::wstring title;
};

FolderPageSeen RunFolderPage(sim::Machine& machine, CStartMenuFolderDlg& page) {
    FolderPageSeen seen;
    machine.ui().User().OnPage(IDD_STARTMENUFOLDER, [&](sim::PageDriver& p) {
        seen.items = p.Items(IDC_FOLDERLIST);
        seen.selection = p.Selection(IDC_FOLDERLIST);
        seen.edit = p.Text(IDC_FOLDER);
        seen.title = p.Text(IDC_TITLE);
        p.Click(IDC_BACK);
    });
    EXPECT_EQ(page.DoModal(), win::kIdOk);
    return seen;
}

std::string Join(const std::vector<std::wstring>& items) {
    std::string out;
    for (const std::wstring& item : items) {
        out += "[" + Utf8(item) + "]";
    }
    return out;
}

// Sub-folders of the common folder, then of the user's, merged into one sorted list: a
// name that begins an item already listed (ignoring case) is left out, files and the dot
// entries never appear, and nothing is selected.
TEST(PageUserInfoTest, FolderListMergesBothStartMenus) {
    struct Case {
        const char* name;
        FolderSetup setup;
        std::vector<std::wstring> items;
    };
    const Case cases[] = {
        {"merged and sorted",
         {{L"Zeta\\", L"Accessories\\"}, {L"Games\\", L"Maintenance\\"}},
         {L"Accessories", L"Games", L"Maintenance", L"Zeta"}},
        {"in both folders: listed once",
         {{L"Accessories\\", L"Games\\"}, {L"accessories\\", L"Games\\"}},
         {L"Accessories", L"Games"}},
        {"a prefix of a listed name is left out",
         {{L"Tools and Utilities\\"}, {L"Tools\\", L"tool\\"}},
         {L"Tools and Utilities"}},
        // The rule is a prefix search, not a comparison: the longer name that comes later
        // is still added.
        {"the longer name after the shorter one",
         {{L"Tools\\"}, {L"Tools and Utilities\\"}},
         {L"Tools", L"Tools and Utilities"}},
        {"files are left out",
         {{L"Readme.txt", L"Office\\", L"Office.lnk"}, {L"Uninstall.lnk"}},
         {L"Office"}},
        {"nested folders are not listed", {{L"Outer\\Inner\\"}, {}}, {L"Outer"}},
        {"empty start menus", {{}, {}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto machine = MakeMachine();
        MakeStartMenu(*machine, c.setup);
        InstallerSettings settings;
        CStartMenuFolderDlg page(settings, machine->platform());
        const FolderPageSeen seen = RunFolderPage(*machine, page);
        EXPECT_EQ(seen.items, c.items)
            << "got " << Join(seen.items) << " expected " << Join(c.items);
        EXPECT_EQ(seen.selection, -1);
        ExpectNoUiErrors(*machine);
    }
}

// A folder the shell does not know adds nothing; one that does not exist yet is created by
// the shell and is empty.
TEST(PageUserInfoTest, FolderListSurvivesUnknownAndMissingFolders) {
    enum class Trouble { CommonUnknown, UserFails, UserMissing };
    for (Trouble trouble : {Trouble::CommonUnknown, Trouble::UserFails, Trouble::UserMissing}) {
        SCOPED_TRACE(static_cast<int>(trouble));
        auto machine = MakeMachine();
        MakeStartMenu(*machine, {{L"Common Only\\"}, {L"User Only\\"}});
        std::vector<std::wstring> expected = {L"Common Only", L"User Only"};
        switch (trouble) {
            case Trouble::CommonUnknown:
                machine->shell().RemoveSpecialFolder(win::kCsidlCommonPrograms);
                expected = {L"User Only"};
                break;
            case Trouble::UserFails:
                machine->shell().FailFolder(win::kCsidlPrograms);
                expected = {L"Common Only"};
                break;
            case Trouble::UserMissing:
                machine->shell().SetSpecialFolder(win::kCsidlPrograms, L"C:\\SM\\New\\Programs");
                expected = {L"Common Only"};
                break;
        }
        InstallerSettings settings;
        CStartMenuFolderDlg page(settings, machine->platform());
        const FolderPageSeen seen = RunFolderPage(*machine, page);
        EXPECT_EQ(seen.items, expected) << "got " << Join(seen.items);
        if (trouble == Trouble::UserMissing) {
            EXPECT_TRUE(machine->files().IsDirectory(L"C:\\SM\\New\\Programs"));
        }
        ExpectNoUiErrors(*machine);
    }
}

TEST(PageUserInfoTest, FolderProposalAndTitle) {
    struct Case {
        uint16_t language;
        const wchar_t* setting;  // StartMenuFolder
        const wchar_t* edit;
        const wchar_t* title;
    };
    const Case cases[] = {
        {win::kLangEnglishUs, L"", L"Corvane", L"Choose Start Menu Folder"},
        {win::kLangEnglishUs, L"Tools\\Corvane", L"Tools\\Corvane", L"Choose Start Menu Folder"},
        {win::kLangChineseSimplified, L"", L"Corvane", L"选择开始菜单目录"},
    };
    for (const Case& c : cases) {
        auto machine = MakeMachine(c.language);
        InstallerSettings settings;
        settings.StartMenuFolder = c.setting;
        CStartMenuFolderDlg page(settings, machine->platform());
        const FolderPageSeen seen = RunFolderPage(*machine, page);
        EXPECT_EQ(seen.edit, c.edit) << "got " << Utf8(seen.edit) << " setting " << Utf8(c.setting);
        EXPECT_EQ(seen.title, c.title) << "got " << Utf8(seen.title);
        // Back keeps the value the page was built with.
        EXPECT_EQ(page.m_nResult, PageBack);
        EXPECT_EQ(page.m_strFolder, L"Corvane");
    }
}

// ---- Start Menu Folder: selection, Next and Back ----

TEST(PageUserInfoTest, FolderSelectionNextAndBack) {
    enum class Step { Select, Type, Next, Back };
    struct Action {
        Step step;
        std::wstring text;  // the item to select or the text to type
    };
    struct Case {
        const char* name;
        std::vector<Action> actions;  // the last one must end the page
        std::wstring shownBeforeLast;
        int32_t result;
        std::wstring folder;  // m_strFolder afterwards
    };
    const Case cases[] = {
        {"the proposal unchanged", {{Step::Next, L""}}, L"Corvane", PageNext, L"Corvane"},
        {"a selection replaces what was typed",
         {{Step::Type, L"Mine"}, {Step::Select, L"Games"}, {Step::Next, L""}},
         L"Games\\Corvane",
         PageNext,
         L"Games\\Corvane"},
        {"typed names are taken unchanged",
         {{Step::Type, L"A\\B:C"}, {Step::Next, L""}},
         L"A\\B:C",
         PageNext,
         L"A\\B:C"},
        {"blanks count as entered",
         {{Step::Type, L"   "}, {Step::Next, L""}},
         L"   ",
         PageNext,
         L"   "},
        {"empty: Next does nothing",
         {{Step::Type, L""}, {Step::Next, L""}, {Step::Type, L"X"}, {Step::Next, L""}},
         L"X",
         PageNext,
         L"X"},
        {"Back keeps the constructed value",
         {{Step::Select, L"Games"}, {Step::Back, L""}},
         L"Games\\Corvane",
         PageBack,
         L"Corvane"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto machine = MakeMachine();
        MakeStartMenu(*machine, {{L"Accessories\\", L"Games\\"}, {}});
        InstallerSettings settings;
        CStartMenuFolderDlg page(settings, machine->platform());
        std::wstring shown;
        std::vector<bool> endedAfter;
        machine->ui().User().OnPage(IDD_STARTMENUFOLDER, [&](sim::PageDriver& p) {
            for (size_t i = 0; i < c.actions.size(); ++i) {
                const Action& a = c.actions[i];
                if (i + 1 == c.actions.size()) {
                    shown = p.Text(IDC_FOLDER);
                }
                switch (a.step) {
                    case Step::Select:
                        p.SelectItem(IDC_FOLDERLIST, a.text);
                        break;
                    case Step::Type:
                        p.Type(IDC_FOLDER, a.text);
                        break;
                    case Step::Next:
                        p.Click(IDC_NEXT);
                        break;
                    case Step::Back:
                        p.Click(IDC_BACK);
                        break;
                }
                endedAfter.push_back(p.Ended());
            }
        });
        EXPECT_EQ(page.DoModal(), win::kIdOk);
        EXPECT_EQ(shown, c.shownBeforeLast) << "got " << Utf8(shown);
        for (size_t i = 0; i + 1 < endedAfter.size(); ++i) {
            EXPECT_FALSE(endedAfter[i]) << "ended after action " << i;
        }
        EXPECT_EQ(page.m_nResult, c.result);
        EXPECT_EQ(page.m_strFolder, c.folder) << "got " << Utf8(page.m_strFolder);
        EXPECT_TRUE(machine->ui().MessageBoxes().empty());
        ExpectNoUiErrors(*machine);
    }
}

}  // namespace
