// The Agreement page on the simulated Windows: the agreement streamed in from terms.rtf,
// the accept check box gating Next, and the acceptance carried in and out.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Setup/flow/InstallerSettings.h"
#include "Setup/pages/LicenseDlg.h"
#include "Setup/res/resource.h"
#include "UiTestMachine.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

constexpr const wchar_t kTerms[] = L"C:\\Setup\\terms.rtf";

using uitest::MakeMachine;

using uitest::ExpectNoUiErrors;

std::string Pattern(size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += static_cast<char>('a' + i % 26);
    }
    return text;
}

// ---- The stream-in callback ----

// Each call hands the next piece: at most the requested count, starting where the previous
// piece ended; a count of 0 once everything was handed over. The callback never fails.
TEST(PageLicenseTest, CallbackHandsConsecutivePieces) {
    struct Case {
        uint32_t size;
        int32_t requested;
        std::vector<int32_t> pieces;  // transferred counts, the final 0 included
    };
    const Case cases[] = {
        {10, 4, {4, 4, 2, 0}},
        {8, 4, {4, 4, 0}},
        {3, 4096, {3, 0}},
        {0, 4096, {0}},
        {5, 1, {1, 1, 1, 1, 1, 0}},
        {5, 0, {0}},   // nothing asked for: nothing handed over
        {5, -7, {0}},  // a nonsensical request is treated as 0
    };
    for (const Case& c : cases) {
        const std::string data = Pattern(c.size);
        AgreementReader reader;
        reader.buffer = reinterpret_cast<const uint8_t*>(data.data());
        reader.size = c.size;
        std::string received;
        std::vector<int32_t> pieces;
        std::vector<uint8_t> out(4096 + 16, 0xEE);
        for (size_t call = 0; call < c.pieces.size() + 2; ++call) {
            int32_t transferred = -1;
            EXPECT_EQ(ReadAgreementChunk(reinterpret_cast<uintptr_t>(&reader), out.data(),
                                         c.requested, &transferred),
                      0u);
            pieces.push_back(transferred);
            if (transferred <= 0) {
                break;
            }
            received.append(reinterpret_cast<const char*>(out.data()),
                            static_cast<size_t>(transferred));
            // Nothing is written past the piece.
            EXPECT_EQ(out[static_cast<size_t>(transferred)], 0xEE);
            std::fill(out.begin(), out.end(), 0xEE);
        }
        const std::string input =
            "size " + std::to_string(c.size) + " requested " + std::to_string(c.requested);
        EXPECT_EQ(pieces, c.pieces) << input;
        EXPECT_EQ(received, c.requested > 0 ? data : std::string()) << input;
        EXPECT_EQ(reader.position, c.requested > 0 ? c.size : 0u) << input;
    }
}

TEST(PageLicenseTest, CallbackAtTheEndKeepsReportingZero) {
    const std::string data = "{\\rtf1}";
    AgreementReader reader;
    reader.buffer = reinterpret_cast<const uint8_t*>(data.data());
    reader.size = static_cast<uint32_t>(data.size());
    reader.position = reader.size + 5;  // past the end: still nothing, no read outside
    uint8_t out[16] = {};
    int32_t transferred = -1;
    EXPECT_EQ(ReadAgreementChunk(reinterpret_cast<uintptr_t>(&reader), out, 16, &transferred), 0u);
    EXPECT_EQ(transferred, 0);
    EXPECT_EQ(reader.position, reader.size + 5);
}

// ---- Initialisation ----

struct Seen {
    std::string streamed;
    size_t requests = 0;
    int scrollTop = 0;
    bool nextEnabled = true;
    bool accepted = true;
    int focus = -1;
    std::wstring title;
    std::wstring caption;
};

// Runs the page until it is idle, reads the agreement box, then leaves with Escape + OK.
Seen RunPage(sim::Machine& machine, CLicenseDlg& page) {
    Seen seen;
    sim::SimUi& ui = machine.ui();
    ui.User().AnswerMessageBox(win::kIdOk);
    ui.User().OnPage(IDD_LICENSE, [&](sim::PageDriver& p) {
        const sim::SimUi::ControlDetails box = ui.Control(p.Dialog(), IDC_LICENSE_TEXT);
        seen.streamed = box.streamed;
        seen.requests = box.streamRequests.size();
        seen.scrollTop = box.scrollTopCount;
        seen.nextEnabled = p.IsEnabled(IDC_NEXT);
        seen.accepted = p.IsChecked(IDC_ACCEPT);
        seen.focus = p.FocusId();
        seen.title = p.Text(IDC_TITLE);
        seen.caption = p.Caption();
        p.PressKey(win::kVkEscape);
    });
    EXPECT_EQ(page.DoModal(), win::kIdCancel);
    return seen;
}

// The agreement comes from terms.rtf next to the program, in pieces of the control's
// request size, and the view is scrolled to the top once. A missing or unreadable file
// leaves the box empty without a message.
TEST(PageLicenseTest, AgreementIsStreamedFromTermsNextToTheProgram) {
    enum class Setup { File, Missing, Locked, OpenElsewhere, ReadFails, TooLarge, LongPath };
    struct Case {
        const char* name;
        Setup setup;
        size_t fileSize;  // File: bytes of the file
        int32_t chunk;
        size_t requests;  // callback calls (0: no streaming)
        int scrollTop;
    };
    const Case cases[] = {
        {"larger than one request", Setup::File, 10000, 4096, 4, 1},
        {"exactly two requests", Setup::File, 200, 100, 3, 1},
        {"small", Setup::File, 40, 4096, 2, 1},
        {"empty file", Setup::File, 0, 4096, 1, 1},
        {"missing", Setup::Missing, 0, 4096, 0, 0},
        {"locked", Setup::Locked, 40, 4096, 0, 0},
        // The page opens the file without sharing: another open handle keeps it out.
        {"open elsewhere", Setup::OpenElsewhere, 40, 4096, 0, 0},
        // The read's outcome is not examined: a failed read streams nothing.
        {"read fails", Setup::ReadFails, 40, 4096, 1, 1},
        // 4 GiB and more cannot be read with one 32-bit read.
        {"4 GiB", Setup::TooLarge, 0, 4096, 0, 0},
        {"path too long", Setup::LongPath, 40, 4096, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto machine = MakeMachine();
        sim::SimFiles& files = machine->files();
        machine->ui().SetStreamChunk(c.chunk);
        const std::string content =
            "{\\rtf1 " + Pattern(c.fileSize > 8 ? c.fileSize - 8 : 0) + (c.fileSize > 8 ? "}" : "");
        const std::string data = c.fileSize == 0 ? std::string() : content;
        platform::FileHandle other;
        switch (c.setup) {
            case Setup::File:
                ASSERT_TRUE(files.AddFile(kTerms, data));
                break;
            case Setup::Missing:
                break;
            case Setup::Locked:
                ASSERT_TRUE(files.AddFile(kTerms, data));
                files.SetLocked(kTerms);
                break;
            case Setup::OpenElsewhere:
                ASSERT_TRUE(files.AddFile(kTerms, data));
                other = files.CreateFile(kTerms, win::kGenericRead, win::kFileShareRead,
                                         win::kOpenExisting, win::kFileAttributeNormal);
                ASSERT_TRUE(other);
                break;
            case Setup::ReadFails:
                ASSERT_TRUE(files.AddFile(kTerms, data));
                files.FailNext(sim::FileOp::ReadFile, win::kErrorAccessDenied);
                break;
            case Setup::TooLarge:
                ASSERT_TRUE(files.AddSparseFile(kTerms, 0x100000000ull));
                break;
            case Setup::LongPath:
                // "<folder>\terms.rtf" would be 260 characters: one too many for the
                // classic path buffer (Windows could not open it either).
                files.SetModulePath(L"C:\\" + std::wstring(260 - 3 - 10, L'd') + L"\\Setup.exe");
                break;
        }
        InstallerSettings settings;
        CLicenseDlg page(settings, machine->platform());
        const Seen seen = RunPage(*machine, page);

        const bool streamsData = c.setup == Setup::File;
        EXPECT_EQ(seen.streamed, streamsData ? data : std::string())
            << "got " << seen.streamed.size() << " bytes";
        EXPECT_EQ(seen.requests, c.requests);
        EXPECT_EQ(seen.scrollTop, c.scrollTop);
        // The page works as usual: unticked, Next disabled, no initial focus.
        EXPECT_FALSE(seen.accepted);
        EXPECT_FALSE(seen.nextEnabled);
        EXPECT_EQ(seen.focus, 0);
        EXPECT_EQ(page.m_nResult, PageCancel);
        // Only the exit question was shown.
        EXPECT_EQ(machine->ui().MessageBoxes().size(), 1u);
        if (c.setup != Setup::Missing && c.setup != Setup::LongPath) {
            EXPECT_EQ(files.OpenCount(kTerms), c.setup == Setup::OpenElsewhere ? 1 : 0);
        }
        if (other) {
            files.CloseHandle(other);
        }
        ExpectNoUiErrors(*machine);
    }
}

TEST(PageLicenseTest, TitleAndCaptionInBothLanguages) {
    struct Case {
        uint16_t language;
        const wchar_t* title;
        const wchar_t* caption;
    };
    const Case cases[] = {
        {win::kLangEnglishUs, L"License Agreement", L"Setup - Corvane"},
        {win::kLangChineseSimplified, L"最终用户许可协议", L"安装 - Corvane"},
    };
    for (const Case& c : cases) {
        auto machine = MakeMachine(c.language);
        InstallerSettings settings;
        CLicenseDlg page(settings, machine->platform());
        const Seen seen = RunPage(*machine, page);
        EXPECT_EQ(seen.title, c.title)
            << "got " << base::ToUtf8(seen.title) << " language " << c.language;
        EXPECT_EQ(seen.caption, c.caption) << "got " << base::ToUtf8(seen.caption);
    }
}

// ---- The accept check box ----

TEST(PageLicenseTest, AcceptGatesNextAndScrollsToTheTop) {
    auto machine = MakeMachine();
    sim::SimUi& ui = machine->ui();
    ASSERT_TRUE(machine->files().AddFile(kTerms, "{\\rtf1 terms}"));
    InstallerSettings settings;
    CLicenseDlg page(settings, machine->platform());
    struct Step {
        bool ticked;
        bool nextEnabled;
        int32_t accepted;
        int scrollTop;
    };
    std::vector<Step> steps;
    bool endedWhileDisabled = true;
    int beepsWhileDisabled = 0;
    ui.User().OnPage(IDD_LICENSE, [&](sim::PageDriver& p) {
        auto record = [&]() {
            steps.push_back({p.IsChecked(IDC_ACCEPT), p.IsEnabled(IDC_NEXT), page.m_bAccepted,
                             ui.Control(p.Dialog(), IDC_LICENSE_TEXT).scrollTopCount});
        };
        record();
        p.Click(IDC_ACCEPT);
        record();
        p.Click(IDC_ACCEPT);
        record();
        // Next is disabled again: neither a click nor Enter ends the page.
        const int beeps = ui.Beeps();
        p.Click(IDC_NEXT);
        p.PressKey(win::kVkReturn);
        endedWhileDisabled = p.Ended();
        beepsWhileDisabled = ui.Beeps() - beeps;
        p.Click(IDC_ACCEPT);
        record();
        p.PressKey(win::kVkReturn);  // Enter clicks the enabled default button
    });
    EXPECT_EQ(page.DoModal(), win::kIdOk);
    const Step expected[] = {
        {false, false, 0, 1},  // the initial scroll to the top, posted during initialisation
        {true, true, 1, 2},
        {false, false, 0, 3},
        {true, true, 1, 4},
    };
    ASSERT_EQ(steps.size(), 4u);
    for (size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].ticked, expected[i].ticked) << "step " << i;
        EXPECT_EQ(steps[i].nextEnabled, expected[i].nextEnabled) << "step " << i;
        EXPECT_EQ(steps[i].accepted, expected[i].accepted) << "step " << i;
        EXPECT_EQ(steps[i].scrollTop, expected[i].scrollTop) << "step " << i;
    }
    EXPECT_FALSE(endedWhileDisabled);
    EXPECT_GE(beepsWhileDisabled, 1);
    EXPECT_EQ(page.m_nResult, PageNext);
    EXPECT_EQ(page.m_bAccepted, 1);
    EXPECT_TRUE(ui.MessageBoxes().empty());
    ExpectNoUiErrors(*machine);
}

// The acceptance carried in is shown (ticked, Next enabled) and carried out on Back and
// Next alike; clearing the box carries out 0.
TEST(PageLicenseTest, AcceptanceIsCarriedInAndOut) {
    enum class Action { Back, Next, ClearThenBack };
    struct Case {
        int32_t carriedIn;
        Action action;
        int32_t result;
        int32_t carriedOut;
    };
    const Case cases[] = {
        {1, Action::Back, PageBack, 1},
        {1, Action::Next, PageNext, 1},
        {1, Action::ClearThenBack, PageBack, 0},
        {0, Action::Back, PageBack, 0},
    };
    for (const Case& c : cases) {
        const std::string input = "carried in " + std::to_string(c.carriedIn) + " action " +
                                  std::to_string(static_cast<int>(c.action));
        auto machine = MakeMachine();
        InstallerSettings settings;
        CLicenseDlg page(settings, machine->platform());
        page.m_bAccepted = c.carriedIn;
        bool tickedAtStart = false;
        bool nextAtStart = false;
        machine->ui().User().OnPage(IDD_LICENSE, [&](sim::PageDriver& p) {
            tickedAtStart = p.IsChecked(IDC_ACCEPT);
            nextAtStart = p.IsEnabled(IDC_NEXT);
            switch (c.action) {
                case Action::Back:
                    p.Click(IDC_BACK);
                    break;
                case Action::Next:
                    p.Click(IDC_NEXT);
                    break;
                case Action::ClearThenBack:
                    p.Click(IDC_ACCEPT);
                    p.Click(IDC_BACK);
                    break;
            }
        });
        EXPECT_EQ(page.DoModal(), win::kIdOk) << input;
        EXPECT_EQ(tickedAtStart, c.carriedIn != 0) << input;
        EXPECT_EQ(nextAtStart, c.carriedIn != 0) << input;
        EXPECT_EQ(page.m_nResult, c.result) << input;
        EXPECT_EQ(page.m_bAccepted, c.carriedOut) << input;
        ExpectNoUiErrors(*machine);
    }
}

}  // namespace
