// The page sequence on the simulated Windows with the real pages and the scripted user:
// the transitions and what survives Back, Cancel on every page, the failed installation,
// the Finish page's restart choice, and the silent path.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Setup/flow/ExitCodes.h"
#include "Setup/flow/PageSequence.h"
#include "Setup/flow/RegisteredUser.h"
#include "Setup/flow/SetupApp.h"
#include "Setup/pages/UserInformationDlg.h"
#include "Setup/res/resource.h"
#include "UiTestMachine.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

constexpr const wchar_t kSource[] = L"C:\\Setup\\cvflt.sys";
constexpr const wchar_t kDriver[] = L"C:\\Windows\\system32\\drivers\\cvflt.sys";
constexpr const wchar_t kInstallDir[] = L"C:\\Program Files\\Corvane";

std::unique_ptr<sim::Machine> MakeMachine(const wchar_t* commandLine = L"Setup.exe") {
    auto m = uitest::MakeMachine(win::kLangEnglishUs, std::chrono::milliseconds(5000));
    m->shell().SetCommandLine(commandLine);
    m->files().AddFile(kSource, "driver image");
    m->files().MakeFolders(L"C:\\Windows\\system32\\drivers");
    return m;
}

uint32_t RunWhole(sim::Machine& m, InstallerSettings& settings) {
    SetupProcess process;
    return RunSetup(m.platform(), settings, process);
}

std::vector<int> PageIds(sim::Machine& m) {
    std::vector<int> ids;
    for (const auto& page : m.ui().Pages()) {
        ids.push_back(page.templateId);
    }
    return ids;
}

std::string Describe(const std::vector<int>& ids) {
    std::string text;
    for (int id : ids) {
        text += std::to_string(id) + " ";
    }
    return text;
}

using uitest::ExpectNoUiErrors;

// The Installing page's status text when the page ended.
std::wstring StatusAtEnd(sim::Machine& m) {
    for (const auto& page : m.ui().Pages()) {
        if (page.templateId != IDD_RUNNING || !page.ended) {
            continue;
        }
        for (const auto& control : page.atEnd) {
            if (control.id == IDC_STATUS) {
                return control.text;
            }
        }
    }
    return L"(no ended Installing page)";
}

void Next(sim::PageDriver& p) {
    p.Click(IDC_NEXT);
}

// Scripts that take the user from the Welcome page to the page |templateId| with Next.
void GoTo(sim::ScriptedUser& user, int templateId) {
    const int order[] = {IDD_WELCOME,         IDD_LICENSE,        IDD_USERINFO,
                         IDD_STARTMENUFOLDER, IDD_ADDITIONALTASK, IDD_READY};
    for (int id : order) {
        if (id == templateId) {
            return;
        }
        if (id == IDD_LICENSE) {
            user.OnPage(id, [](sim::PageDriver& p) {
                p.Click(IDC_ACCEPT);
                Next(p);
            });
        } else {
            user.OnPage(id, Next);
        }
    }
}

// Back on the Agreement page shows the Welcome page again and keeps the acceptance; the
// typed names survive Back; a typed start-menu folder and cleared icon choices do not.
// Finish with the default choice restarts the computer.
TEST(FlowSequenceTest, BackKeepsWhatThePagesHandOver) {
    auto m = MakeMachine();
    auto& user = m->ui().User();
    bool acceptedOnReturn = false;
    bool nextEnabledOnReturn = false;
    std::wstring nameOnReturn;
    std::wstring folderOnReturn;
    bool desktopOnReturn = false;
    bool quickLaunchOnReturn = false;

    user.OnPage(IDD_WELCOME, Next);
    user.OnPage(IDD_LICENSE, [](sim::PageDriver& p) {
        p.Click(IDC_ACCEPT);
        p.Click(IDC_BACK);
    });
    user.OnPage(IDD_WELCOME, Next);
    user.OnPage(IDD_LICENSE, [&](sim::PageDriver& p) {
        acceptedOnReturn = p.IsChecked(IDC_ACCEPT);
        nextEnabledOnReturn = p.IsEnabled(IDC_NEXT);
        Next(p);
    });
    user.OnPage(IDD_USERINFO, [](sim::PageDriver& p) {
        p.Type(IDC_USERNAME, L"Ann Example");
        p.Type(IDC_ORGANIZATION, L"Example Ltd");
        Next(p);
    });
    user.OnPage(IDD_STARTMENUFOLDER, [](sim::PageDriver& p) {
        p.Type(IDC_FOLDER, L"Typed Folder");
        p.Click(IDC_BACK);
    });
    user.OnPage(IDD_USERINFO, [&](sim::PageDriver& p) {
        nameOnReturn = p.Text(IDC_USERNAME);
        Next(p);
    });
    user.OnPage(IDD_STARTMENUFOLDER, [&](sim::PageDriver& p) {
        folderOnReturn = p.Text(IDC_FOLDER);
        Next(p);
    });
    user.OnPage(IDD_ADDITIONALTASK, [](sim::PageDriver& p) {
        p.Click(IDC_DESKTOPICON);
        p.Click(IDC_QUICKLAUNCH);
        p.Click(IDC_BACK);
    });
    user.OnPage(IDD_STARTMENUFOLDER, Next);
    user.OnPage(IDD_ADDITIONALTASK, [&](sim::PageDriver& p) {
        desktopOnReturn = p.IsChecked(IDC_DESKTOPICON);
        quickLaunchOnReturn = p.IsChecked(IDC_QUICKLAUNCH);
        Next(p);
    });
    user.OnPage(IDD_READY, Next);
    user.OnPage(IDD_FINISH, Next);

    InstallerSettings settings;
    EXPECT_EQ(RunWhole(*m, settings), kExitRestartStarted);

    const std::vector<int> expectedPages = {
        IDD_WELCOME,        IDD_LICENSE,         IDD_WELCOME,        IDD_LICENSE,
        IDD_USERINFO,       IDD_STARTMENUFOLDER, IDD_USERINFO,       IDD_STARTMENUFOLDER,
        IDD_ADDITIONALTASK, IDD_STARTMENUFOLDER, IDD_ADDITIONALTASK, IDD_READY,
        IDD_RUNNING,        IDD_FINISH};
    EXPECT_EQ(PageIds(*m), expectedPages)
        << "got " << Describe(PageIds(*m)) << " / expected " << Describe(expectedPages);
    EXPECT_TRUE(acceptedOnReturn);
    EXPECT_TRUE(nextEnabledOnReturn);
    EXPECT_EQ(nameOnReturn, L"Ann Example");
    EXPECT_EQ(folderOnReturn, L"Corvane");
    EXPECT_TRUE(desktopOnReturn);
    EXPECT_TRUE(quickLaunchOnReturn);

    EXPECT_EQ(settings.UserName, L"Ann Example");
    EXPECT_EQ(settings.Organization, L"Example Ltd");
    EXPECT_EQ(settings.StartMenuFolder, L"Corvane");
    EXPECT_EQ(settings.DesktopIcon, 1);
    EXPECT_EQ(settings.QuickLaunchIcon, 1);
    EXPECT_EQ(settings.InstallDir, kInstallDir);
    EXPECT_EQ(settings.InstallFailed, 0);
    EXPECT_TRUE(m->files().Exists(kDriver));
    EXPECT_TRUE(m->ui().MessageBoxes().empty());

    // The worker ran on its own thread and left the page at 100 with the last text.
    EXPECT_EQ(m->system().ThreadsStarted().size(), 1u);
    EXPECT_EQ(StatusAtEnd(*m), L"Registering production information ...");

    const auto shutdowns = m->processes().ShutdownRequests();
    ASSERT_EQ(shutdowns.size(), 1u);
    EXPECT_EQ(shutdowns[0].flags, win::kEwxReboot | win::kEwxForce);
    EXPECT_EQ(shutdowns[0].flags, 6u);
    EXPECT_EQ(shutdowns[0].reason, 0x00030000u);
    EXPECT_FALSE(shutdowns[0].refused);
    ExpectNoUiErrors(*m);
}

// Back on User Information returns to the Agreement page and copies the typed names out,
// so that they are shown again; Back on the Ready page returns to Additional Tasks with the
// boxes as they were last confirmed with Next.
TEST(FlowSequenceTest, BackFromUserInformationAndFromTheReadyPage) {
    auto m = MakeMachine();
    auto& user = m->ui().User();
    std::wstring nameOnReturn;
    std::wstring organizationOnReturn;
    bool desktopOnReturn = true;
    bool quickLaunchOnReturn = false;

    GoTo(user, IDD_USERINFO);
    user.OnPage(IDD_USERINFO, [](sim::PageDriver& p) {
        p.Type(IDC_USERNAME, L"Ann Example");
        p.Type(IDC_ORGANIZATION, L"Example Ltd");
        p.Click(IDC_BACK);
    });
    user.OnPage(IDD_LICENSE, [](sim::PageDriver& p) {
        if (!p.IsChecked(IDC_ACCEPT)) {
            p.Click(IDC_ACCEPT);
        }
        Next(p);
    });
    user.OnPage(IDD_USERINFO, [&](sim::PageDriver& p) {
        nameOnReturn = p.Text(IDC_USERNAME);
        organizationOnReturn = p.Text(IDC_ORGANIZATION);
        Next(p);
    });
    user.OnPage(IDD_STARTMENUFOLDER, Next);
    user.OnPage(IDD_ADDITIONALTASK, [](sim::PageDriver& p) {
        p.Click(IDC_DESKTOPICON);
        Next(p);
    });
    user.OnPage(IDD_READY, [](sim::PageDriver& p) { p.Click(IDC_BACK); });
    user.OnPage(IDD_ADDITIONALTASK, [&](sim::PageDriver& p) {
        desktopOnReturn = p.IsChecked(IDC_DESKTOPICON);
        quickLaunchOnReturn = p.IsChecked(IDC_QUICKLAUNCH);
        Next(p);
    });
    user.OnPage(IDD_READY, Next);
    user.OnPage(IDD_FINISH, [](sim::PageDriver& p) {
        p.Click(IDC_RESTART_NO);
        Next(p);
    });

    InstallerSettings settings;
    EXPECT_EQ(RunWhole(*m, settings), kExitRestartRequired);
    const std::vector<int> expectedPages = {IDD_WELCOME,        IDD_LICENSE,  IDD_USERINFO,
                                            IDD_LICENSE,        IDD_USERINFO, IDD_STARTMENUFOLDER,
                                            IDD_ADDITIONALTASK, IDD_READY,    IDD_ADDITIONALTASK,
                                            IDD_READY,          IDD_RUNNING,  IDD_FINISH};
    EXPECT_EQ(PageIds(*m), expectedPages)
        << "got " << Describe(PageIds(*m)) << " / expected " << Describe(expectedPages);
    EXPECT_EQ(nameOnReturn, L"Ann Example");
    EXPECT_EQ(organizationOnReturn, L"Example Ltd");
    EXPECT_FALSE(desktopOnReturn);
    EXPECT_TRUE(quickLaunchOnReturn);
    EXPECT_EQ(settings.UserName, L"Ann Example");
    EXPECT_EQ(settings.Organization, L"Example Ltd");
    EXPECT_EQ(settings.DesktopIcon, 0);
    EXPECT_EQ(settings.QuickLaunchIcon, 1);
    ExpectNoUiErrors(*m);
}

// A wizard run with -config: the file's values win over the pages' choices: the product
// goes to the folder the file names, and neither icon nor the start-menu links are made,
// though the pages left all of them chosen.
TEST(FlowSequenceTest, AConfigurationFileWinsOverThePagesOfAWizardRun) {
    auto m = MakeMachine(L"Setup.exe -config:C:\\Setup\\setup.ini");
    m->files().AddFile(L"C:\\Setup\\setup.ini",
                       "[common]\r\npath=C:\\Apps\\Corvane\r\ndesktopicon=0\r\n"
                       "quicklaunchicon=0\r\nstartupmenushortcut=0\r\n");
    auto& user = m->ui().User();
    bool desktopChosen = false;
    bool quickLaunchChosen = false;
    GoTo(user, IDD_ADDITIONALTASK);
    user.OnPage(IDD_ADDITIONALTASK, [&](sim::PageDriver& p) {
        desktopChosen = p.IsChecked(IDC_DESKTOPICON);
        quickLaunchChosen = p.IsChecked(IDC_QUICKLAUNCH);
        Next(p);
    });
    user.OnPage(IDD_READY, Next);
    user.OnPage(IDD_FINISH, [](sim::PageDriver& p) {
        p.Click(IDC_RESTART_NO);
        Next(p);
    });

    InstallerSettings settings;
    EXPECT_EQ(RunWhole(*m, settings), kExitRestartRequired);
    EXPECT_TRUE(desktopChosen);
    EXPECT_TRUE(quickLaunchChosen);
    EXPECT_EQ(settings.StartMenuFolder, L"Corvane");
    EXPECT_EQ(settings.InstallDir, L"C:\\Apps\\Corvane");
    EXPECT_EQ(settings.DesktopIcon, 0);
    EXPECT_EQ(settings.QuickLaunchIcon, 0);
    EXPECT_TRUE(settings.StartMenuPath.empty());
    EXPECT_TRUE(m->shell().SavedLinks().empty());
    EXPECT_FALSE(m->files().Exists(kInstallDir));
    EXPECT_EQ(m->registry().GetString(platform::Hive::LocalMachine, L"SOFTWARE\\Corvane", L"Path"),
              std::wstring(L"C:\\Apps\\Corvane"));
    EXPECT_TRUE(m->ui().MessageBoxes().empty());
    ExpectNoUiErrors(*m);
}

// Only the default choice restarts; "later" ends with the restart-required code, and a
// restart that Windows refuses does too.
TEST(FlowSequenceTest, TheFinishPageChoiceDecidesTheRestart) {
    struct Case {
        bool chooseLater;
        bool tokenFails;
        uint32_t exitCode;
        size_t shutdownRequests;
    };
    const Case cases[] = {
        {false, false, kExitRestartStarted, 1},
        {true, false, kExitRestartRequired, 0},
        {false, true, kExitRestartRequired, 1},  // no privilege: Windows refuses
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "later " << c.chooseLater << " token fails " << c.tokenFails);
        auto m = MakeMachine();
        if (c.tokenFails) {
            m->processes().FailOpenProcessToken(win::kErrorAccessDenied);
        }
        auto& user = m->ui().User();
        GoTo(user, IDD_READY);
        user.OnPage(IDD_READY, Next);
        user.OnPage(IDD_FINISH, [&](sim::PageDriver& p) {
            if (c.chooseLater) {
                p.Click(IDC_RESTART_NO);
            }
            Next(p);
        });
        InstallerSettings settings;
        EXPECT_EQ(RunWhole(*m, settings), c.exitCode);
        EXPECT_EQ(settings.RestartNow, c.chooseLater ? 0 : 1);
        const auto shutdowns = m->processes().ShutdownRequests();
        ASSERT_EQ(shutdowns.size(), c.shutdownRequests);
        for (const auto& request : shutdowns) {
            EXPECT_EQ(request.flags, 6u);
            EXPECT_EQ(request.reason, 0x00030000u);
        }
        ExpectNoUiErrors(*m);
    }
}

// Only Finish records the choice. Commands that would end the page another way are
// ignored by it, and a Finish page ended without Finish (closed from outside) does not
// restart the computer, whichever radio button is chosen.
TEST(FlowSequenceTest, OnlyFinishCanLeadToTheRestart) {
    struct Case {
        const char* name;
        bool chooseLater;
        bool closedFromOutside;  // the page ends by EndDialog, not by Finish
        uint32_t exitCode;
        size_t shutdownRequests;
    };
    const Case cases[] = {
        {"later, Escape's IDCANCEL, then Finish", true, false, kExitRestartRequired, 0},
        {"now, Escape's IDCANCEL, then Finish", false, false, kExitRestartStarted, 1},
        {"later, closed from outside", true, true, kExitRestartRequired, 0},
        {"now, closed from outside", false, true, kExitRestartRequired, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = MakeMachine();
        sim::SimUi& ui = m->ui();
        auto& user = ui.User();
        GoTo(user, IDD_READY);
        user.OnPage(IDD_READY, Next);
        bool endedByCommand = true;
        user.OnPage(IDD_FINISH, [&](sim::PageDriver& p) {
            if (c.chooseLater) {
                p.Click(IDC_RESTART_NO);
            }
            const uintptr_t cancel = (static_cast<uintptr_t>(win::kBnClicked) << 16) |
                                     static_cast<uint32_t>(win::kIdCancel);
            ui.SendMessage(p.Dialog(), win::kWmCommand, cancel,
                           static_cast<intptr_t>(ui.GetDlgItem(p.Dialog(), win::kIdCancel).value));
            endedByCommand = p.Ended();
            if (c.closedFromOutside) {
                ui.EndDialog(p.Dialog(), win::kIdCancel);
            } else {
                Next(p);
            }
        });
        InstallerSettings settings;
        EXPECT_EQ(RunWhole(*m, settings), c.exitCode);
        EXPECT_FALSE(endedByCommand);
        EXPECT_EQ(m->processes().ShutdownRequests().size(), c.shutdownRequests);
        ExpectNoUiErrors(*m);
    }
}

// A confirmed Cancel on any page before the installation ends setup with nothing
// installed.
TEST(FlowSequenceTest, ConfirmedCancelOnAnyPageInstallsNothing) {
    const int pages[] = {IDD_WELCOME,         IDD_LICENSE,        IDD_USERINFO,
                         IDD_STARTMENUFOLDER, IDD_ADDITIONALTASK, IDD_READY};
    for (size_t i = 0; i < sizeof(pages) / sizeof(pages[0]); ++i) {
        const int page = pages[i];
        SCOPED_TRACE(testing::Message() << "cancel on page " << page);
        auto m = MakeMachine();
        auto& user = m->ui().User();
        GoTo(user, page);
        user.OnPage(page, [](sim::PageDriver& p) { p.Click(win::kIdCancel); });
        user.AnswerMessageBox(win::kIdOk);
        InstallerSettings settings;
        EXPECT_EQ(RunWhole(*m, settings), kExitCancelled);
        const std::vector<int> ids = PageIds(*m);
        ASSERT_EQ(ids.size(), i + 1) << "got " << Describe(ids);
        EXPECT_EQ(ids.back(), page);
        EXPECT_FALSE(m->files().Exists(kDriver));
        EXPECT_FALSE(m->files().Exists(kInstallDir));
        EXPECT_TRUE(m->system().ThreadsStarted().empty());
        EXPECT_TRUE(m->processes().ShutdownRequests().empty());
        ExpectNoUiErrors(*m);
    }
}

// The driver cannot be copied: the worker's box (owned by the Installing page), the page
// still closes, no Finish page, no restart.
TEST(FlowSequenceTest, AFailedInstallationEndsWithoutTheFinishPage) {
    auto m = MakeMachine();
    m->files().DeleteFile(kSource);
    auto& user = m->ui().User();
    GoTo(user, IDD_READY);
    user.OnPage(IDD_READY, Next);
    user.AnswerMessageBox(win::kIdOk);
    InstallerSettings settings;
    EXPECT_EQ(RunWhole(*m, settings), kExitFailed);
    EXPECT_EQ(settings.InstallFailed, 1);
    const std::vector<int> ids = PageIds(*m);
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(ids.back(), IDD_RUNNING) << "got " << Describe(ids);
    const auto boxes = m->ui().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Copy file failed!");
    EXPECT_EQ(boxes[0].caption, L"Setup");
    EXPECT_EQ(boxes[0].flags, win::kMbOk);
    EXPECT_EQ(boxes[0].ownerTemplateId, IDD_RUNNING);
    EXPECT_EQ(StatusAtEnd(*m), L"Copying files ...");
    EXPECT_TRUE(m->processes().ShutdownRequests().empty());
    ExpectNoUiErrors(*m);
}

// The silent path: no page, no pause, no second thread, the names from the registry (a
// value that does not fit the 256-byte buffer gives an empty text), the fixed folder and
// icons, never a restart.
TEST(FlowSequenceTest, SilentRunUsesTheRegistryAndShowsNothing) {
    struct Case {
        const wchar_t* name;
        const wchar_t* owner;  // null: the value is missing
        const wchar_t* organization;
        std::wstring expectedOwner;
        std::wstring expectedOrganization;
    };
    const std::wstring owner127(127, L'o');
    const std::wstring owner128(128, L'o');
    const Case cases[] = {
        {L"both set", L"Ann Example", L"Example Ltd", L"Ann Example", L"Example Ltd"},
        {L"owner missing", nullptr, L"Example Ltd", L"", L"Example Ltd"},
        {L"127 characters fit", owner127.c_str(), L"", owner127, L""},
        {L"128 characters do not", owner128.c_str(), L"Org", L"", L"Org"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(base::ToUtf8(c.name));
        auto m = MakeMachine(L"Setup.exe -silent");
        const wchar_t* key = kWindowsNtCurrentVersionKey;
        if (c.owner != nullptr) {
            m->registry().SetString(platform::Hive::LocalMachine, key, L"RegisteredOwner", c.owner);
        } else {
            m->registry().DeleteValue(platform::Hive::LocalMachine, key, L"RegisteredOwner");
        }
        m->registry().SetString(platform::Hive::LocalMachine, key, L"RegisteredOrganization",
                                c.organization);
        InstallerSettings settings;
        settings.DesktopIcon = 0;
        EXPECT_EQ(RunWhole(*m, settings), kExitRestartRequired);
        EXPECT_EQ(settings.UserName, c.expectedOwner) << "got " << base::ToUtf8(settings.UserName);
        EXPECT_EQ(settings.Organization, c.expectedOrganization);
        EXPECT_EQ(settings.StartMenuFolder, L"Corvane");
        EXPECT_EQ(settings.DesktopIcon, 1);
        EXPECT_EQ(settings.QuickLaunchIcon, 1);
        EXPECT_TRUE(m->ui().Pages().empty());
        EXPECT_TRUE(m->ui().MessageBoxes().empty());
        EXPECT_TRUE(m->system().Sleeps().empty());
        EXPECT_TRUE(m->system().ThreadsStarted().empty());
        EXPECT_TRUE(m->files().Exists(kDriver));
        EXPECT_TRUE(m->processes().ShutdownRequests().empty());
        ExpectNoUiErrors(*m);
    }
}

// The registered owner is read by one routine with one rule: the User Information page
// proposes exactly what a silent run installs with. The 256-byte buffer holds 127
// characters and the terminator; a longer text is not taken, whether it is stored with a
// terminator (SHGetValueW refuses it) or without one (it fills the buffer to the last byte
// and leaves no terminator there).
TEST(FlowSequenceTest, ThePageAndTheSilentRunReadTheRegisteredOwnerAlike) {
    const std::wstring name127(127, L'n');
    const std::wstring name128(128, L'm');
    auto bytes = [](const std::wstring& text, bool terminator) {
        std::vector<uint8_t> b = base::ToUtf16LE(text);
        if (terminator) {
            b.insert(b.end(), {0, 0});
        }
        return b;
    };
    struct Case {
        const char* name;
        bool present;
        std::vector<uint8_t> stored;
        std::wstring expected;
    };
    const Case cases[] = {
        {"missing", false, {}, L""},
        {"127 characters and the terminator: 256 bytes", true, bytes(name127, true), name127},
        {"127 characters without terminator: 254 bytes", true, bytes(name127, false), name127},
        {"128 characters and the terminator: 258 bytes", true, bytes(name128, true), L""},
        {"128 characters without terminator: 256 bytes", true, bytes(name128, false), L""},
        {"text ends at the first null", true,
         bytes(std::wstring(L"Ann") + L'\0' + std::wstring(100, L'x'), false), L"Ann"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto store = [&c](sim::Machine& m) {
            m.registry().DeleteValue(platform::Hive::LocalMachine, kWindowsNtCurrentVersionKey,
                                     kRegisteredOwnerValue);
            if (c.present) {
                m.registry().SetRaw(platform::Hive::LocalMachine, kWindowsNtCurrentVersionKey,
                                    kRegisteredOwnerValue, win::kRegSz, c.stored);
            }
        };

        auto m = MakeMachine(L"Setup.exe -silent");
        store(*m);
        const std::wstring read = ReadRegisteredText(m->registry(), kRegisteredOwnerValue);
        InstallerSettings silent;
        EXPECT_EQ(RunWhole(*m, silent), kExitRestartRequired);

        auto pageMachine = MakeMachine();
        store(*pageMachine);
        InstallerSettings interactive;
        CUserInformationDlg page(interactive, pageMachine->platform());
        std::wstring proposed = L"(page not shown)";
        pageMachine->ui().User().OnPage(IDD_USERINFO, [&](sim::PageDriver& p) {
            proposed = p.Text(IDC_USERNAME);
            p.PressKey(win::kVkEscape);
        });
        pageMachine->ui().User().AnswerMessageBox(win::kIdOk);
        page.DoModal();

        EXPECT_EQ(read, c.expected) << "got " << base::ToUtf8(read);
        EXPECT_EQ(silent.UserName, c.expected) << "got " << base::ToUtf8(silent.UserName);
        EXPECT_EQ(proposed, c.expected) << "got " << base::ToUtf8(proposed);
        ExpectNoUiErrors(*m);
        ExpectNoUiErrors(*pageMachine);
    }
}

TEST(FlowSequenceTest, SilentFailureShowsTheBoxAndNeverRestarts) {
    auto m = MakeMachine(L"Setup.exe /SILENT");
    m->files().DeleteFile(kSource);
    m->ui().User().AnswerMessageBox(win::kIdOk);
    InstallerSettings settings;
    EXPECT_EQ(RunWhole(*m, settings), kExitFailed);
    EXPECT_EQ(settings.InstallFailed, 1);
    EXPECT_TRUE(m->ui().Pages().empty());
    const auto boxes = m->ui().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Copy file failed!");
    EXPECT_FALSE(boxes[0].owner);
    EXPECT_TRUE(m->processes().ShutdownRequests().empty());
    ExpectNoUiErrors(*m);
}

}  // namespace
