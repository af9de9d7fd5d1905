// The host side of the conformance tables: a fresh simulated machine per test. The default
// machine is adjusted only where the Wine prefix the tables are checked against has other
// but equally valid contents (its hotfix inventory); everything else is the sim's own
// default Windows.
#include "Conformance.h"

#include <cstdio>

#include "base/Text.h"
#include "sim/Machine.h"

namespace conf {
namespace {

class SimEnv : public Env {
public:
    SimEnv() {
        // Wine's WMI lists exactly one hotfix; the tables expect that inventory.
        machine_.wmi().ClearHotfixes();
        machine_.wmi().AddHotfix(L"KB1234567");
        // The program initialises COM on its main thread for the multithreaded apartment;
        // the tables run there, as on the Windows side.
        machine_.system().CoInitializeEx(win::kCoinitMultithreaded);
    }

    platform::Platform& Platform() override { return machine_.platform(); }
    bool IsWine() override { return false; }
    uint32_t ProcessId() override { return 4242; }

    // The default machine: Windows 7 SP1 in English.
    platform::OsVersion KnownVersion() override {
        platform::OsVersion v;
        v.major = 6;
        v.minor = 1;
        v.build = 7601;
        v.servicePackMajor = 1;
        return v;
    }
    uint16_t KnownUiLanguage() override { return win::kLangEnglishUs; }
    std::wstring KnownModulePath() override { return machine_.files().ModulePath(); }

    bool CreateRecordingWindow(const std::wstring& title, intptr_t reply) override {
        window_ = machine_.processes().AddWindow(
            title, L"CvConformanceRecorder",
            [reply](uint32_t message, uintptr_t, intptr_t) -> intptr_t {
                return message == win::kWmUser + 1 ? reply : 0;
            });
        return static_cast<bool>(window_);
    }

    std::vector<Message> RecordedMessages() override {
        std::vector<Message> out;
        if (!window_)
            return out;
        for (const auto& m : machine_.processes().Messages(window_)) {
            out.push_back(Message{m.message, m.wParam, m.lParam});
        }
        return out;
    }

    bool InstallStandIn(const std::wstring& path, uint32_t exitCode) override {
        if (!machine_.files().AddFile(path, std::string("MZ")))
            return false;
        machine_.processes().RegisterRecordingProgram(path, exitCode);
        return true;
    }

    bool StandInCommandLine(const std::wstring& path, std::wstring* commandLine) override {
        const auto lines = machine_.processes().RecordedCommandLines(path);
        if (lines.empty())
            return false;
        *commandLine = lines.back();
        return true;
    }

    bool InstallRegisterLibrary(const std::wstring& path) override {
        if (!machine_.files().AddFile(path, std::string("MZ")))
            return false;
        machine_.processes().RegisterSelfRegisteringLibrary(path);
        return true;
    }

    bool LibraryRegistered(const std::wstring& path) override {
        for (const auto& p : machine_.processes().SelfRegistrations()) {
            if (base::EqualsNoCase(p, path))
                return true;
        }
        return false;
    }

    bool HoldForeignMutex(const std::wstring& name) override {
        machine_.processes().AddForeignMutex(name);
        return true;
    }

private:
    sim::Machine machine_;
    platform::WindowHandle window_;
};

}  // namespace

std::unique_ptr<Env> CreateEnv() {
    return std::unique_ptr<Env>(new SimEnv());
}

}  // namespace conf

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    conf::PrintSummary();
    return result;
}
