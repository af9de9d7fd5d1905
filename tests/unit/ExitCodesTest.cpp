// The exit codes as a deployment tool reads them: each number and the words the install
// log's last line gives it, written out here instead of taken from ExitCodes.h, so that a
// code or a meaning that changes there fails here (the README's "Exit codes" table and the
// Wine scenarios' machine.EXIT_MEANINGS list the same numbers). 19 and 32 are Windows
// errors rather than installer results; no other test names them by number.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "Setup/flow/ExitCodes.h"

namespace {

TEST(ExitCodesTest, NumbersAndMeanings) {
    struct Case {
        uint32_t constant;
        uint32_t code;
        const wchar_t* meaning;
    };
    const Case cases[] = {
        {kExitRestartRequired, 3010, L"installed; a restart is required"},
        {kExitRestartStarted, 1641, L"installed; the restart of the computer has been started"},
        {kExitCancelled, 1602, L"cancelled by the user"},
        {kExitFailed, 1603, L"the installation failed"},
        {kExitUnsupportedWindows, 1633, L"this version of Windows is not supported"},
        {kExitVeilMode, 19, L"a volume is in Veil Mode"},
        {kExitMainInterfaceRunning, 32, L"the product's main interface is running"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(c.constant, c.code);
        EXPECT_EQ(std::wstring(ExitCodeMeaning(c.code)), c.meaning);
    }
}

}  // namespace
