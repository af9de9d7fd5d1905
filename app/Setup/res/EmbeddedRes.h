// The setup program's compiled resources (Setup.res, built from Setup.rc by the MinGW
// resource compiler) embedded in host builds, where the simulated Windows reads the page
// templates and strings from them. Host builds only (library cv_setup_res_embedded).
#pragma once

#include <cstddef>

// The bytes of Setup.res; |size| (when not null) receives their number.
const unsigned char* EmbeddedSetupRes(size_t* size);
