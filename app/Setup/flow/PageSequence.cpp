#include "Setup/flow/PageSequence.h"

#include "Setup/engine/InstallWorker.h"
#include "Setup/flow/ExitCodes.h"
#include "Setup/flow/RegisteredUser.h"
#include "Setup/pages/AdditionalTaskDlg.h"
#include "Setup/pages/FinishDlg.h"
#include "Setup/pages/LicenseDlg.h"
#include "Setup/pages/ReadyDlg.h"
#include "Setup/pages/RunningDlg.h"
#include "Setup/pages/StartMenuFolderDlg.h"
#include "Setup/pages/UserInformationDlg.h"
#include "Setup/pages/WelcomeDlg.h"

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

// The silent run: the stages without pages, the installation on this thread, no Finish
// page and never a restart.
uint32_t RunSilently(platform::Platform& platform, InstallerSettings& settings,
                     const SetupProcess& process) {
    settings.UserName = ReadRegisteredText(platform.registry, kRegisteredOwnerValue);
    settings.Organization = ReadRegisteredText(platform.registry, kRegisteredOrganizationValue);
    settings.StartMenuFolder = ProductName;
    settings.DesktopIcon = 1;
    settings.QuickLaunchIcon = 1;
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
                stage = Stage::Agreement;
                break;
            }
            case Stage::Agreement: {
                CLicenseDlg page(settings, platform);
                page.m_bAccepted = acceptance;
                result = RunPage(page, &notShown);
                acceptance = page.m_bAccepted;
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
                stage = result == PageBack ? Stage::StartMenuFolder : Stage::Ready;
                break;
            }
            case Stage::Ready: {
                CReadyDlg page(settings, platform);
                result = RunPage(page, &notShown);
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
                if (notShown || settings.InstallFailed != 0) {
                    return kExitFailed;
                }
                stage = Stage::Finish;
                continue;
            }
            case Stage::Finish: {
                CFinishDlg page(settings, platform);
                const int32_t finishResult = RunPage(page, &notShown);
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
