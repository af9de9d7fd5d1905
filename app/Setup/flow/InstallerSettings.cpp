#include "Setup/flow/InstallerSettings.h"

namespace {

InstallerSettings g_installerSettings;

}  // namespace

InstallerSettings& TheInstallerSettings() {
    return g_installerSettings;
}
