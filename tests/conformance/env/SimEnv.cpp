// The host side of the conformance tables: a fresh simulated machine per test. The default
// machine is adjusted only where the Wine prefix the tables are checked against has other
// but equally valid contents (its hotfix inventory); everything else is the sim's own
// default Windows.
#include "Conformance.h"

#include <cstdio>

#include "Setup/res/EmbeddedRes.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace conf {
namespace {

// The scripted user's page driver does what the user's hands do on Windows.
class SimDialogUser : public DialogUser {
public:
    SimDialogUser(sim::SimUi& ui, platform::WindowHandle dialog) : driver_(ui, dialog, 0) {}

    void Click(int id) override { driver_.Click(id); }
    void Type(int id, const std::wstring& text) override { driver_.Type(id, text); }
    void SelectItem(int listId, int index) override { driver_.SelectItem(listId, index); }
    void Focus(int id) override { driver_.Focus(id); }
    void PressKey(uint32_t virtualKey) override { driver_.PressKey(virtualKey); }
    void CloseBox() override { driver_.CloseBox(); }

private:
    sim::PageDriver driver_;
};

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

    std::wstring GuidString(const platform::Guid& guid) override {
        return base::Format(L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                            static_cast<unsigned>(guid.data1), static_cast<unsigned>(guid.data2),
                            static_cast<unsigned>(guid.data3), guid.data4[0], guid.data4[1],
                            guid.data4[2], guid.data4[3], guid.data4[4], guid.data4[5],
                            guid.data4[6], guid.data4[7]);
    }

    bool StandInStartup(const std::wstring& path, uint32_t* flags, int* showWindow) override {
        bool found = false;
        for (const auto& start : machine_.processes().ProcessStarts()) {
            if (base::EqualsNoCase(start.application, path)) {
                *flags = start.startupFlags;
                *showWindow = start.showWindow;
                found = true;
            }
        }
        return found;
    }

    bool InstallDependentLibrary(const std::wstring& path) override {
        if (!machine_.files().AddFile(path, std::string("MZ")))
            return false;
        machine_.processes().RegisterLibrary(
            path, {{"DllRegisterServer", []() -> int32_t { return win::kSOk; }}});
        machine_.processes().SetLibraryDependencies(path, {kDependencyName});
        return true;
    }

    bool InstallDependency(const std::wstring& folder) override {
        return machine_.files().AddFile(folder + L"\\" + kDependencyName, std::string("MZ"));
    }

    bool RestrictDllSearch(platform::DllSearchRestriction way) override {
        machine_.system().SetDllSearchFunctions(
            way == platform::DllSearchRestriction::DefaultDllDirectories, true);
        platform::DllSearchRestriction taken = platform::DllSearchRestriction::None;
        return machine_.system().RestrictDllSearchPath(&taken) && taken == way;
    }

    bool StartMutexHolder(const std::wstring& name) override {
        machine_.processes().AddForeignMutex(name);
        return true;
    }

    bool StartWindowOwner(const std::wstring& title, intptr_t reply) override {
        otherWindow_ = machine_.processes().AddWindow(
            title, L"CorvaneWardenStandIn",
            [reply](uint32_t message, uintptr_t, intptr_t) -> intptr_t {
                return message >= win::kWmUser ? reply : 0;
            });
        return static_cast<bool>(otherWindow_);
    }

    std::vector<Message> OtherWindowMessages() override {
        std::vector<Message> out;
        if (!otherWindow_)
            return out;
        for (const auto& m : machine_.processes().Messages(otherWindow_)) {
            if (m.message >= win::kWmUser)
                out.push_back(Message{m.message, m.wParam, m.lParam});
        }
        return out;
    }

    bool PrepareDialogs() override {
        size_t size = 0;
        const unsigned char* res = EmbeddedSetupRes(&size);
        std::string error;
        if (!machine_.ui().SetResources(res, size, &error)) {
            std::printf("the program's resources do not load: %s\n", error.c_str());
            return false;
        }
        return true;
    }

    bool UseUiLanguage(uint16_t language) override {
        machine_.system().SetUiLanguage(language);
        return true;
    }

    std::unique_ptr<DialogUser> User(platform::WindowHandle dialog) override {
        return std::unique_ptr<DialogUser>(new SimDialogUser(machine_.ui(), dialog));
    }

    bool AnswerMessageBox(const std::wstring& caption, int button) override {
        boxCaption_ = caption;
        boxesBefore_ = machine_.ui().MessageBoxes().size();
        machine_.ui().User().AnswerMessageBox(button);
        return true;
    }

    bool MessageBoxAnswered() override {
        const auto boxes = machine_.ui().MessageBoxes();
        if (boxes.size() != boxesBefore_ + 1)
            return false;
        return boxes.back().caption == boxCaption_ && boxes.back().queuedAnswer;
    }

    bool HoldInOtherProcess(const std::wstring& path, bool running) override {
        if (running) {
            if (!machine_.files().AddFile(path, std::string("MZ")))
                return false;
            machine_.files().SetInUse(path);
            running_.push_back(path);
            return true;
        }
        const platform::FileHandle file = machine_.files().CreateFile(
            path, win::kGenericRead, win::kFileShareRead, win::kOpenExisting, 0);
        if (!file)
            return false;
        held_.push_back(file);
        return true;
    }

    void ReleaseHolders() override {
        for (const std::wstring& path : running_)
            machine_.files().SetInUse(path, false);
        for (platform::FileHandle file : held_)
            machine_.files().CloseHandle(file);
        running_.clear();
        held_.clear();
    }

private:
    std::vector<std::wstring> running_;
    std::vector<platform::FileHandle> held_;
    sim::Machine machine_;
    std::wstring boxCaption_;
    size_t boxesBefore_ = 0;
    platform::WindowHandle window_;
    platform::WindowHandle otherWindow_;
};

}  // namespace

std::unique_ptr<Env> CreateEnv() {
    return std::unique_ptr<Env>(new SimEnv());
}

}  // namespace conf

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return conf::RunTables();
}
