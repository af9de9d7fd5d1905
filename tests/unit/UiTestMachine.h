// A simulated machine for tests that run the program's pages on the headless Ui: the
// program's own compiled resources, the UI language, and a bounded wait for a page that
// has nothing left to do.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "Setup/res/EmbeddedRes.h"
#include "platform/WinConst.h"
#include "sim/Machine.h"

namespace uitest {

inline std::unique_ptr<sim::Machine> MakeMachine(
    uint16_t language = win::kLangEnglishUs,
    std::chrono::milliseconds idleTimeout = std::chrono::milliseconds(3000)) {
    auto machine = std::make_unique<sim::Machine>();
    size_t size = 0;
    const unsigned char* res = EmbeddedSetupRes(&size);
    std::string error;
    EXPECT_TRUE(machine->ui().SetResources(res, size, &error)) << error;
    machine->ui().SetIdleTimeout(idleTimeout);
    machine->system().SetUiLanguage(language);
    return machine;
}

// Every problem the headless Ui recorded (a page waiting with no script, an unanswered
// message box...) fails the test.
inline void ExpectNoUiErrors(sim::Machine& machine) {
    for (const std::string& error : machine.ui().Errors()) {
        ADD_FAILURE() << "sim ui error: " << error;
    }
}

}  // namespace uitest
