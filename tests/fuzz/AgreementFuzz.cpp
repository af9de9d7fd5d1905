// The agreement: arbitrary bytes as terms.rtf beside the program, streamed into the
// Agreement page's rich edit box by the page itself, with the control asking for pieces of
// any size. After each run the box holds exactly the file's bytes, in order.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Setup/flow/InstallerSettings.h"
#include "Setup/pages/LicenseDlg.h"
#include "Setup/res/resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const uint16_t chunk = input.U16();
    const std::vector<uint8_t> terms = input.Rest();

    auto machine = fuzz::MachineWithResources();
    FUZZ_CHECK(machine->files().AddFile(L"C:\\Setup\\terms.rtf", terms), "terms.rtf");
    sim::SimUi& ui = machine->ui();
    // 0 stands for a control that asks for one byte at a time.
    ui.SetStreamChunk(chunk == 0 ? 1 : chunk);

    std::string streamed;
    bool seen = false;
    ui.User().AnswerMessageBox(win::kIdOk);
    ui.User().OnPage(IDD_LICENSE, [&](sim::PageDriver& page) {
        streamed = ui.Control(page.Dialog(), IDC_LICENSE_TEXT).streamed;
        seen = true;
        page.PressKey(win::kVkEscape);
    });
    InstallerSettings settings;
    CLicenseDlg dialog(settings, machine->platform());
    const intptr_t result = dialog.DoModal();
    FUZZ_CHECK(result == win::kIdCancel, "the page ended with %ld", static_cast<long>(result));
    FUZZ_CHECK(seen, "the page was never shown");
    FUZZ_CHECK(streamed == std::string(terms.begin(), terms.end()),
               "%zu bytes streamed of %zu (pieces of %u)", streamed.size(), terms.size(), chunk);
    return 0;
}
