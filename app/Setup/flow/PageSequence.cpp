#include "Setup/flow/PageSequence.h"

#include "Setup/engine/InstallWorker.h"
#include "Setup/flow/ExitCodes.h"
#include "Setup/flow/InstallLog.h"
#include "Setup/flow/RegisteredUser.h"
#include "Setup/pages/AdditionalTaskDlg.h"
#include "Setup/pages/FinishDlg.h"
#include "Setup/pages/LicenseDlg.h"
#include "Setup/pages/ReadyDlg.h"
#include "Setup/pages/RunningDlg.h"
#include "Setup/pages/StartMenuFolderDlg.h"
#include "Setup/pages/UserInformationDlg.h"
#include "Setup/pages/WelcomeDlg.h"
#include "base/Text.h"

namespace {

enum class Stage {
    Welcome,
    Agreement,
    UserInformation,
    StartMenuFolder,
    AdditionalTasks,
    Ready,
    Installing,
    Finish,
};

std::wstring PageResultText(int32_t result, bool notShown) {
    if (notShown) {
        return L"could not be shown";
    }
    switch (result) {
        case PageNext:
            return L"Next";
        case PageBack:
            return L"Back";
        case PageCancel:
            return L"Cancel";
        default:
            return base::Format(L"ended (%d)", result);
    }
}

// A page's outcome in the install log, with what it handed on.
void LogPage(const SetupProcess& process, const wchar_t* page, int32_t result, bool notShown,
             const std::wstring& handedOn = std::wstring()) {
    WriteLog(process.Log, L"Page",
             std::wstring(page) + L": " + PageResultText(result, notShown) +
                 (handedOn.empty() ? std::wstring() : L"; " + handedOn));
}

std::wstring IconsText(const InstallerSettings& settings) {
    return std::wstring(L"desktop icon ") + (settings.DesktopIcon != 0 ? L"on" : L"off") +
           L", Quick Launch icon " + (settings.QuickLaunchIcon != 0 ? L"on" : L"off");
}

// The silent run: the stages without pages, the installation on this thread, no Finish
// page and never a restart.
uint32_t RunSilently(platform::Platform& platform, InstallerSettings& settings,
                     const SetupProcess& process) {
    settings.UserName = ReadRegisteredText(platform.registry, kRegisteredOwnerValue);
    settings.Organization = ReadRegisteredText(platform.registry, kRegisteredOrganizationValue);
    settings.StartMenuFolder = ProductName;
    settings.DesktopIcon = 1;
    settings.QuickLaunchIcon = 1;
    WriteLog(process.Log, L"Setup",
             L"silent: user " + LogQuote(settings.UserName) + L" and organization " +
                 LogQuote(settings.Organization) + L" from the registry, start-menu folder " +
                 LogQuote(settings.StartMenuFolder) + L", " + IconsText(settings));
    RunInstall(platform, settings, process, nullptr, 1);
    return settings.InstallFailed != 0 ? kExitFailed : kExitRestartRequired;
}

// Runs a page modally. The sequence follows the page's m_nResult, never DoModal's value;
// only a page that could not be created at all (-1) is told apart, for the exit code.
template <typename Page>
int32_t RunPage(Page& page, bool* notShown) {
    *notShown = page.DoModal() == -1;
    return page.m_nResult;
}

}  // namespace

bool RestartComputer(platform::Processes& processes) {
    platform::KernelHandle token;
    if (processes.OpenProcessToken(win::kTokenAdjustPrivileges | win::kTokenQuery, &token)) {
        platform::Luid luid;
        if (processes.LookupPrivilegeValue(L"SeShutdownPrivilege", &luid)) {
            processes.AdjustTokenPrivilege(token, luid, win::kSePrivilegeEnabled);
        }
    }
    // Requested whatever happened above: without the privilege Windows refuses it.
    return processes.ExitWindowsEx(win::kEwxReboot | win::kEwxForce,
                                   win::kShtdnReasonMajorSoftware);
}

uint32_t RunPageSequence(platform::Platform& platform, InstallerSettings& settings,
                         const SetupProcess& process, bool silent) {
    if (silent) {
        return RunSilently(platform, settings, process);
    }

    // The agreement choice, carried from one visit of the Agreement page to the next.
    int32_t acceptance = 0;
    // m_nResult of the page shown last.
    int32_t result = 1;
    bool notShown = false;
    Stage stage = Stage::Welcome;
    for (;;) {
        switch (stage) {
            case Stage::Welcome: {
                CWelcomeDlg page(settings, platform);
                result = RunPage(page, &notShown);
                LogPage(process, L"Welcome", result, notShown);
                stage = Stage::Agreement;
                break;
            }
            case Stage::Agreement: {
                CLicenseDlg page(settings, platform);
                page.m_bAccepted = acceptance;
                result = RunPage(page, &notShown);
                acceptance = page.m_bAccepted;
                LogPage(process, L"License Agreement", result, notShown,
                        acceptance != 0 ? L"accepted" : L"not accepted");
                stage = result == PageBack ? Stage::Welcome : Stage::UserInformation;
                break;
            }
            case Stage::UserInformation: {
                // The page proposes its texts itself (settings or registry).
                CUserInformationDlg page(settings, platform);
                page.m_strUserName.clear();
                page.m_strOrganization.clear();
                result = RunPage(page, &notShown);
                settings.UserName = page.m_strUserName;
                settings.Organization = page.m_strOrganization;
                LogPage(process, L"User Information", result, notShown,
                        L"user " + LogQuote(settings.UserName) + L", organization " +
                            LogQuote(settings.Organization));
                stage = result == PageBack ? Stage::Agreement : Stage::StartMenuFolder;
                break;
            }
            case Stage::StartMenuFolder: {
                // The page stores its field only on Next: after Back the folder is the
                // product name again.
                CStartMenuFolderDlg page(settings, platform);
                page.m_strFolder = ProductName;
                result = RunPage(page, &notShown);
                settings.StartMenuFolder = page.m_strFolder;
                LogPage(process, L"Start Menu Folder", result, notShown,
                        L"folder " + LogQuote(settings.StartMenuFolder));
                stage = result == PageBack ? Stage::UserInformation : Stage::AdditionalTasks;
                break;
            }
            case Stage::AdditionalTasks: {
                // Likewise both icons are chosen again after Back.
                CAdditionalTaskDlg page(settings, platform);
                page.m_bDesktopIcon = 1;
                page.m_bQuickLaunchIcon = 1;
                result = RunPage(page, &notShown);
                settings.DesktopIcon = page.m_bDesktopIcon;
                settings.QuickLaunchIcon = page.m_bQuickLaunchIcon;
                LogPage(process, L"Select Additional Tasks", result, notShown, IconsText(settings));
                stage = result == PageBack ? Stage::StartMenuFolder : Stage::Ready;
                break;
            }
            case Stage::Ready: {
                CReadyDlg page(settings, platform);
                result = RunPage(page, &notShown);
                LogPage(process, L"Ready to Install", result, notShown);
                stage = result == PageBack ? Stage::AdditionalTasks : Stage::Installing;
                break;
            }
            case Stage::Installing: {
                {
                    // The page runs the install worker and closes when it is done; its
                    // result is not examined. Nothing was installed when it could not be
                    // created.
                    CRunningDlg page(settings, platform, process);
                    RunPage(page, &notShown);
                }
                WriteLog(process.Log, L"Page",
                         notShown ? std::wstring(L"Installing: could not be shown")
                                  : std::wstring(L"Installing: ") +
                                        (settings.InstallFailed != 0 ? L"the installation failed"
                                                                     : L"done"));
                if (notShown || settings.InstallFailed != 0) {
                    return kExitFailed;
                }
                stage = Stage::Finish;
                continue;
            }
            case Stage::Finish: {
                CFinishDlg page(settings, platform);
                const int32_t finishResult = RunPage(page, &notShown);
                LogPage(process, L"Completing", finishResult, notShown,
                        finishResult == PageNext && settings.RestartNow != 0 ? L"restart now"
                                                                             : L"no restart now");
                // Only the Finish button records the user's choice in RestartNow. A page
                // that could not be shown asked nobody, and a page that ended any other
                // way did not take the answer: neither restarts the computer, which would
                // close every other program without asking.
                if (notShown || finishResult != PageNext || settings.RestartNow == 0) {
                    return kExitRestartRequired;
                }
                return RestartComputer(platform.processes) ? kExitRestartStarted
                                                           : kExitRestartRequired;
            }
        }
        if (result == PageCancel) {
            // Confirmed by the page (or the page could not be shown): nothing installed.
            return notShown ? kExitFailed : kExitCancelled;
        }
    }
}
