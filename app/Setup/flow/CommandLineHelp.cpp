#include "Setup/flow/CommandLineHelp.h"

#include "Setup/flow/ExitCodes.h"
#include "Setup/res/resource.h"
#include "framework/WinApp.h"
#include "platform/WinConst.h"

uint32_t ShowCommandLineHelp(platform::Platform& platform) {
    AppMessageBox(platform, IDS_COMMAND_LINE_HELP, win::kMbOk | win::kMbIconInformation);
    return kExitNothingToInstall;
}
