// The prerequisite checks: the version table, WOW64, Veil Mode on the eligible volumes, the
// update questions of Vista and 7, the main interface's mutex and the Warden's notification,
// each in the order the checks run them, and the run of CSetupApp around them in both modes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FlowTestPorts.h"
#include "Setup/checks/DriverControl.h"
#include "Setup/checks/HotfixInventory.h"
#include "Setup/checks/PrerequisiteChecks.h"
#include "Setup/checks/VolumeChecks.h"
#include "Setup/flow/ExitCodes.h"
#include "Setup/flow/SetupApp.h"
#include "Setup/res/resource.h"
#include "UiTestMachine.h"
#include "base/Text.h"

namespace {

using platform::Wow64Probe;

const wchar_t kDriverGuid[] = L"{01234567-89ab-cdef-abcd-0123456789ab}";
constexpr int32_t kDriverBase = 1576;  // 4 x ('a' + 'b' + 'c' + 'd')

// The message boxes of the checks, by string id, as the user sees them in English.
struct BoxText {
    int id;
    const wchar_t* text;
    uint32_t flags;
};
const BoxText kBoxes[] = {
    {IDS_OS_NOT_SUPPORTED, L"Sorry, Corvane doesn't support tihs operation system.", 0x40},
    {IDS_VEIL_MODE, L"Please install when your OS is not in Veil Mode.", 0x40},
    {IDS_CLOSE_MAIN_UI, L"Please close Corvane main interface.", 0x40},
    {IDS_HOTFIX_KB2763674,
     L"Corvane maybe not working because KB2763674 hotfix is not found in this computer. Do "
     L"you want to continue?",
     0x24},
    {IDS_HOTFIX_KB3185278,
     L"Corvane maybe not working because KB3185278 and KB3125574 are not found in this "
     L"computer. Do you want to continue?",
     0x24},
};

// What the checks did, in order, across the ports: "version", "wow64", "type C:\",
// "wmi", "box 159", "mutex", "find", "send 1147 0 0"...
using Events = flowtest::Log;

class RecordingSystem : public flowtest::ForwardingSystem {
public:
    RecordingSystem(platform::System& inner, Events& events)
        : ForwardingSystem(inner), events_(events) {}
    bool GetVersion(platform::OsVersion* version) override {
        events_.Add(L"version");
        return ForwardingSystem::GetVersion(version);
    }
    Wow64Probe QueryWow64() override {
        events_.Add(L"wow64");
        return ForwardingSystem::QueryWow64();
    }

private:
    Events& events_;
};

class RecordingProcesses : public flowtest::ForwardingProcesses {
public:
    RecordingProcesses(platform::Processes& inner, Events& events)
        : ForwardingProcesses(inner), events_(events) {}
    platform::KernelHandle CreateMutex(const std::wstring& name, bool initialOwner) override {
        events_.Add(L"mutex " + name + (initialOwner ? L" owned" : L""));
        return ForwardingProcesses::CreateMutex(name, initialOwner);
    }
    platform::WindowHandle FindWindow(const std::wstring* className,
                                      const std::wstring& title) override {
        events_.Add(L"find " + std::wstring(className != nullptr ? L"class " : L"") + title);
        return ForwardingProcesses::FindWindow(className, title);
    }
    intptr_t SendMessage(platform::WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override {
        events_.Add(base::Format(L"send %u %u %d", message, static_cast<unsigned>(wParam),
                                 static_cast<int>(lParam)));
        return ForwardingProcesses::SendMessage(window, message, wParam, lParam);
    }

private:
    Events& events_;
};

class RecordingVolumes : public flowtest::ForwardingVolumes {
public:
    RecordingVolumes(platform::Volumes& inner, Events& events)
        : ForwardingVolumes(inner), events_(events) {}
    uint32_t GetDriveType(const std::wstring& root) override {
        events_.Add(L"type " + root);
        return m_inner.GetDriveType(root);
    }
    bool DeviceIoControl(platform::FileHandle device, uint32_t code, const void* in,
                         uint32_t inSize, void* out, uint32_t outSize,
                         uint32_t* bytesReturned) override {
        const bool ok =
            m_inner.DeviceIoControl(device, code, in, inSize, out, outSize, bytesReturned);
        events_.Add(L"ioctl");
        return ok;
    }

private:
    Events& events_;
};

class RecordingWmi : public platform::Wmi {
public:
    RecordingWmi(platform::Wmi& inner, Events& events) : inner_(inner), events_(events) {}
    int32_t QueryHotfixes(platform::WmiStage* failedStage,
                          std::unique_ptr<platform::HotfixEnumerator>* results) override {
        events_.Add(L"wmi");
        return inner_.QueryHotfixes(failedStage, results);
    }

private:
    platform::Wmi& inner_;
    Events& events_;
};

class RecordingUi : public flowtest::ForwardingUi {
public:
    RecordingUi(platform::Ui& inner, Events& events) : ForwardingUi(inner), events_(events) {}
    int MessageBox(platform::WindowHandle owner, const std::wstring& text,
                   const std::wstring& caption, uint32_t flags) override {
        int id = 0;
        for (const BoxText& box : kBoxes) {
            if (m_inner.LoadString(box.id) == text) {
                id = box.id;
            }
        }
        events_.Add(base::Format(L"box %d", id));
        return ForwardingUi::MessageBox(owner, text, caption, flags);
    }
    intptr_t DialogBox(int templateId, platform::DialogProcedure* procedure) override {
        events_.Add(base::Format(L"page %d", templateId));
        return ForwardingUi::DialogBox(templateId, procedure);
    }

private:
    Events& events_;
};

// A simulated machine (with the program's resources, for the boxes) seen through recording
// ports.
class ChecksMachine {
public:
    explicit ChecksMachine(uint16_t language = win::kLangEnglishUs)
        : machine_(uitest::MakeMachine(language)),
          system_(machine_->system(), events_),
          processes_(machine_->processes(), events_),
          volumes_(machine_->volumes(), events_),
          wmi_(machine_->wmi(), events_),
          ui_(machine_->ui(), events_),
          platform_{machine_->registry(),
                    machine_->files(),
                    volumes_,
                    machine_->shell(),
                    system_,
                    processes_,
                    wmi_,
                    ui_} {
        // The start-up puts the main thread in the multithreaded apartment before the checks.
        machine_->system().CoInitializeEx(win::kCoinitMultithreaded);
    }

    sim::Machine& m() { return *machine_; }
    platform::Platform& platform() { return platform_; }

    void SetVersion(uint32_t major, uint32_t minor) {
        machine_->system().SetVersion(major, minor, 1000, 0);
    }
    void SetHotfixes(const std::vector<std::wstring>& ids) {
        machine_->wmi().ClearHotfixes();
        for (const std::wstring& id : ids) {
            machine_->wmi().AddHotfix(id);
        }
    }

    // RunPrerequisiteChecks with the control-code base |base|.
    bool Run(uint32_t* exitCode, int32_t base = 0) {
        SetupProcess process;
        process.ControlCodeBase = base;
        *exitCode = 0xDEADBEEF;
        return RunPrerequisiteChecks(platform_, settings, process, exitCode);
    }

    // The string ids of the boxes shown, in order, with their answers.
    std::vector<std::string> Boxes() { return Starting("box "); }

    // The log as UTF-8, all of it or the lines that start with |prefix|.
    std::vector<std::string> Lines() { return Narrow(events_.Lines()); }
    std::vector<std::string> Starting(const char* prefix) {
        return Narrow(events_.Starting(base::FromUtf8(prefix)));
    }

    InstallerSettings settings;

private:
    static std::vector<std::string> Narrow(const std::vector<std::wstring>& lines) {
        std::vector<std::string> out;
        for (const std::wstring& line : lines) {
            out.push_back(base::ToUtf8(line));
        }
        return out;
    }

    Events events_;
    std::unique_ptr<sim::Machine> machine_;
    RecordingSystem system_;
    RecordingProcesses processes_;
    RecordingVolumes volumes_;
    RecordingWmi wmi_;
    RecordingUi ui_;
    platform::Platform platform_;
};

std::string Box(int id) {
    return "box " + std::to_string(id);
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += (out.empty() ? "" : " | ") + line;
    }
    return out;
}

// ---- The version table, WOW64 and the update questions ----

TEST(PrerequisiteChecksTest, VersionsWow64AndUpdates) {
    const uint32_t kNoExit = 0xDEADBEEF;
    struct Case {
        const char* name;
        uint32_t major, minor;
        Wow64Probe wow64;
        std::vector<std::wstring> hotfixes;
        std::vector<int> answers;
        bool ok;
        uint32_t exitCode;
        std::vector<std::string> boxes;
        int queries;
        bool versionText;
    };
    const Case cases[] = {
        {"NT 4.0",
         4,
         0,
         Wow64Probe::No,
         {},
         {},
         false,
         kExitUnsupportedWindows,
         {Box(IDS_OS_NOT_SUPPORTED)},
         0,
         false},
        {"Windows 2000",
         5,
         0,
         Wow64Probe::No,
         {},
         {},
         false,
         kExitUnsupportedWindows,
         {Box(IDS_OS_NOT_SUPPORTED)},
         0,
         false},
        {"Windows XP", 5, 1, Wow64Probe::No, {}, {}, true, kNoExit, {}, 0, true},
        {"Windows Server 2003", 5, 2, Wow64Probe::No, {}, {}, true, kNoExit, {}, 0, true},
        // 64-bit Windows is refused after the version text is set.
        {"64-bit Windows XP",
         5,
         2,
         Wow64Probe::Yes,
         {},
         {},
         false,
         kExitUnsupportedWindows,
         {Box(IDS_OS_NOT_SUPPORTED)},
         0,
         true},
        {"64-bit Windows 10",
         10,
         0,
         Wow64Probe::Yes,
         {},
         {},
         false,
         kExitUnsupportedWindows,
         {Box(IDS_OS_NOT_SUPPORTED)},
         0,
         true},
        {"XP without IsWow64Process", 5, 1, Wow64Probe::Absent, {}, {}, true, kNoExit, {}, 0, true},
        {"IsWow64Process fails", 5, 1, Wow64Probe::Failed, {}, {}, true, kNoExit, {}, 0, true},
        {"Vista with KB2763674",
         6,
         0,
         Wow64Probe::No,
         {L"KB2763674"},
         {},
         true,
         kNoExit,
         {},
         1,
         true},
        {"Vista without it, Yes",
         6,
         0,
         Wow64Probe::No,
         {L"KB3033929"},
         {win::kIdYes},
         true,
         kNoExit,
         {Box(IDS_HOTFIX_KB2763674)},
         1,
         true},
        {"Vista without it, No",
         6,
         0,
         Wow64Probe::No,
         {},
         {win::kIdNo},
         false,
         kExitCancelled,
         {Box(IDS_HOTFIX_KB2763674)},
         1,
         true},
        // A question that cannot be shown was answered by nobody: a failure, not the
        // user's No.
        {"Vista without it, the box fails",
         6,
         0,
         Wow64Probe::No,
         {},
         {0},
         false,
         kExitFailed,
         {Box(IDS_HOTFIX_KB2763674)},
         1,
         true},
        // Each of the three updates will do; they are asked for in order until one is found.
        {"7 with KB3033929 only",
         6,
         1,
         Wow64Probe::No,
         {L"KB3033929"},
         {},
         true,
         kNoExit,
         {},
         1,
         true},
        {"7 with KB3185278 only",
         6,
         1,
         Wow64Probe::No,
         {L"KB3185278"},
         {},
         true,
         kNoExit,
         {},
         2,
         true},
        {"7 with KB3125574 only",
         6,
         1,
         Wow64Probe::No,
         {L"kb3125574"},
         {},
         true,
         kNoExit,
         {},
         3,
         true},
        {"7 with none, Yes",
         6,
         1,
         Wow64Probe::No,
         {L"KB2763674"},
         {win::kIdYes},
         true,
         kNoExit,
         {Box(IDS_HOTFIX_KB3185278)},
         3,
         true},
        {"7 with none, No",
         6,
         1,
         Wow64Probe::No,
         {},
         {win::kIdNo},
         false,
         kExitCancelled,
         {Box(IDS_HOTFIX_KB3185278)},
         3,
         true},
        {"7 with none, the box fails",
         6,
         1,
         Wow64Probe::No,
         {},
         {0},
         false,
         kExitFailed,
         {Box(IDS_HOTFIX_KB3185278)},
         3,
         true},
        // Later versions look for no update at all.
        {"8", 6, 2, Wow64Probe::No, {}, {}, true, kNoExit, {}, 0, true},
        {"8.1", 6, 3, Wow64Probe::No, {}, {}, true, kNoExit, {}, 0, true},
        {"10", 10, 0, Wow64Probe::No, {}, {}, true, kNoExit, {}, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChecksMachine cm;
        cm.SetVersion(c.major, c.minor);
        cm.m().system().SetWow64(c.wow64);
        cm.SetHotfixes(c.hotfixes);
        for (int answer : c.answers) {
            cm.m().ui().User().AnswerMessageBox(answer);
        }
        uint32_t exitCode = 0;
        EXPECT_EQ(cm.Run(&exitCode), c.ok);
        EXPECT_EQ(exitCode, c.exitCode);
        EXPECT_EQ(Joined(cm.Boxes()), Joined(c.boxes));
        EXPECT_EQ(cm.m().wmi().QueryCount(), c.queries);
        EXPECT_EQ(cm.settings.VersionText, c.versionText ? L"1.4.0.672" : L"");
        // The version is read first, and the WOW64 probe only after a version that passed.
        const std::vector<std::string> events = cm.Lines();
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.front(), "version");
        EXPECT_EQ(cm.Starting("wow64").size(), c.versionText ? 1u : 0u);
        uitest::ExpectNoUiErrors(cm.m());
    }
}

TEST(PrerequisiteChecksTest, MessageBoxesAreTheProgramsStringsWithItsTitle) {
    for (const BoxText& box : kBoxes) {
        SCOPED_TRACE(box.id);
        ChecksMachine cm;
        switch (box.id) {
            case IDS_OS_NOT_SUPPORTED:
                cm.SetVersion(5, 0);
                break;
            case IDS_VEIL_MODE:
                cm.m().volumes().LoadDriver(kDriverGuid);
                cm.m().volumes().SetVolumeState(L'C', 2, 1);
                break;
            case IDS_CLOSE_MAIN_UI:
                cm.m().processes().AddForeignMutex(kMainInterfaceMutex);
                break;
            case IDS_HOTFIX_KB2763674:
                cm.SetVersion(6, 0);
                cm.m().ui().User().AnswerMessageBox(win::kIdYes);
                break;
            case IDS_HOTFIX_KB3185278:
                cm.SetHotfixes({});
                cm.m().ui().User().AnswerMessageBox(win::kIdYes);
                break;
        }
        uint32_t exitCode = 0;
        cm.Run(&exitCode, kDriverBase);
        const auto boxes = cm.m().ui().MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, box.text);
        EXPECT_EQ(boxes[0].caption, L"Setup");
        EXPECT_EQ(boxes[0].flags, box.flags);
        EXPECT_FALSE(boxes[0].owner);
    }

    // The same ids in Simplified Chinese.
    ChecksMachine cm(win::kLangChineseSimplified);
    cm.SetVersion(5, 0);
    uint32_t exitCode = 0;
    cm.Run(&exitCode);
    const auto boxes = cm.m().ui().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              L"\u5BF9\u4E0D\u8D77\uFF0C\u672C\u7A0B\u5E8F\u65E0\u6CD5\u5B89\u88C5"
              L"\u5728\u672C\u7CFB\u7EDF\u4E0A\u3002");
    EXPECT_EQ(boxes[0].flags, 0x40u);
}

// A service that cannot be reached, or that stops answering, counts as a missing update:
// the user is asked. The walk waits a bounded time for each object, never without a limit.
TEST(PrerequisiteChecksTest, AFailingOrStuckWmiServiceLeadsToTheQuestion) {
    struct Case {
        const char* name;
        platform::WmiStage failStage;
        int failNextAfter;
        int stallAfter;
    };
    const Case cases[] = {
        {"the locator cannot be made", platform::WmiStage::Locator, -1, -1},
        {"the connection fails", platform::WmiStage::Connect, -1, -1},
        {"the proxy's security fails", platform::WmiStage::Blanket, -1, -1},
        {"the query fails", platform::WmiStage::Query, -1, -1},
        {"the walk fails", platform::WmiStage::None, 0, -1},
        {"the service stops answering", platform::WmiStage::None, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChecksMachine cm;
        cm.SetHotfixes({L"KB3033929", L"KB3185278", L"KB3125574"});
        cm.m().wmi().FailAt(c.failStage, win::kEAccessDenied);
        cm.m().wmi().FailNextAfter(c.failNextAfter);
        cm.m().wmi().StallAfter(c.stallAfter);
        cm.m().ui().User().AnswerMessageBox(win::kIdNo);
        uint32_t exitCode = 0;
        EXPECT_FALSE(cm.Run(&exitCode));
        EXPECT_EQ(exitCode, kExitCancelled);
        EXPECT_EQ(Joined(cm.Boxes()), Box(IDS_HOTFIX_KB3185278));
        EXPECT_EQ(cm.m().wmi().QueryCount(), 3);
        EXPECT_EQ(cm.m().wmi().ObjectsHandedOut(), 0);
        for (uint32_t timeout : cm.m().wmi().NextTimeouts()) {
            EXPECT_EQ(timeout, kHotfixWaitMilliseconds);
        }
        EXPECT_EQ(cm.m().wmi().EndlessWaits(), 0);
    }
}

// ---- Veil Mode ----

// Drive set-ups: a removable FAT32 D:, a network N:, a CD G:, a UDF volume F:, a volume
// that no enumeration lists H:, removable FAT A: and B:.
void AddVarietyOfDrives(sim::Machine& m) {
    auto& v = m.volumes();
    v.AddFixedVolume(L'D', 1LL << 32, 1LL << 30).fileSystem = L"FAT32";
    v.Volume(L'D')->driveType = win::kDriveRemovable;
    v.AddFixedVolume(L'F', 1LL << 32, 1LL << 30).fileSystem = L"UDF";
    v.AddFixedVolume(L'G', 1LL << 32, 1LL << 30).driveType = win::kDriveCdrom;
    v.Volume(L'G')->fileSystem = L"CDFS";
    v.AddFixedVolume(L'H', 1LL << 32, 1LL << 30).listed = false;
    sim::VolumeConfig network;
    network.driveType = win::kDriveRemote;
    network.volumeName.clear();
    v.AddVolume(L'N', network);
    for (wchar_t letter : {L'A', L'B'}) {
        v.AddFixedVolume(letter, 1LL << 20, 1LL << 19).fileSystem = L"FAT";
        v.Volume(letter)->driveType = win::kDriveRemovable;
    }
}

// The volumes asked for their state, in order ("C", "D"...).
std::vector<std::string> VolumesQueried(sim::Machine& m) {
    std::vector<std::string> letters;
    for (const sim::DeviceRequest& r : m.volumes().RequestLog()) {
        if (r.command == kQueryVolumeStateCommand) {
            letters.push_back(base::ToUtf8(r.device.substr(4, 1)));
        }
    }
    return letters;
}

TEST(PrerequisiteChecksTest, VeilModeOnEligibleVolumes) {
    struct Case {
        const char* name;
        std::vector<std::pair<wchar_t, uint32_t>> rawStates;
        bool firstQueryFails;
        bool veiled;
        std::vector<std::string> queried;
    };
    // Every state query is bracketed by 201 and 202; these list the volume requests only.
    const std::vector<std::string> allEligible = {"C", "D"};
    const Case cases[] = {
        {"nothing veiled", {}, false, false, allEligible},
        {"fixed NTFS C: veiled", {{L'C', 2}}, false, true, {"C"}},
        {"removable FAT32 D: veiled", {{L'D', 2}}, false, true, allEligible},
        {"raw states 3 and 4 are not Veil Mode", {{L'C', 3}, {L'D', 4}}, false, false, allEligible},
        // Network, CD, other file systems, unlisted volumes and A: / B: are never asked.
        {"only ineligible volumes veiled",
         {{L'A', 2}, {L'B', 2}, {L'F', 2}, {L'G', 2}, {L'H', 2}, {L'N', 2}},
         false,
         false,
         allEligible},
        // A failed query counts as not veiled, and the walk goes on.
        {"C: fails, D: veiled", {{L'C', 2}, {L'D', 2}}, true, true, allEligible},
        {"C: fails", {{L'C', 2}}, true, false, allEligible},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChecksMachine cm;
        AddVarietyOfDrives(cm.m());
        cm.m().volumes().LoadDriver(kDriverGuid);
        for (const auto& state : c.rawStates) {
            cm.m().volumes().SetVolumeState(state.first, state.second, 3);
        }
        if (c.firstQueryFails) {
            cm.m().volumes().FailCommand(kQueryVolumeStateCommand, win::kErrorNotReady);
        }
        EXPECT_EQ(IsAnyVolumeVeiled(cm.platform(), kDriverBase), c.veiled);
        EXPECT_EQ(Joined(VolumesQueried(cm.m())), Joined(c.queried));
        // C to Z in order; A and B never examined.
        const std::vector<std::string> types = cm.Starting("type ");
        ASSERT_FALSE(types.empty());
        EXPECT_EQ(types.front(), "type C:\\");
        if (!c.veiled) {
            EXPECT_EQ(types.size(), 24u);
            EXPECT_EQ(types.back(), "type Z:\\");
        }
        for (const std::string& type : types) {
            EXPECT_NE(type, "type A:\\");
            EXPECT_NE(type, "type B:\\");
        }
    }
}

TEST(PrerequisiteChecksTest, AVeiledVolumeRefusesWithItsExitCode) {
    ChecksMachine cm;
    AddVarietyOfDrives(cm.m());
    cm.m().volumes().LoadDriver(kDriverGuid);
    cm.m().volumes().SetVolumeState(L'D', 2, 3);
    cm.SetHotfixes({});  // the update question would come later: it is never asked
    uint32_t exitCode = 0;
    EXPECT_FALSE(cm.Run(&exitCode, kDriverBase));
    EXPECT_EQ(exitCode, kExitVeilMode);
    EXPECT_EQ(exitCode, 19u);
    EXPECT_EQ(Joined(cm.Boxes()), Box(IDS_VEIL_MODE));
    EXPECT_EQ(cm.m().wmi().QueryCount(), 0);
    EXPECT_TRUE(cm.Starting("mutex").empty());
    // Each request in order, each bracketed, each handle closed again.
    const uint32_t code = VariableControlCode(kDriverBase);
    std::vector<std::string> requests;
    for (const sim::DeviceRequest& r : cm.m().volumes().RequestLog()) {
        EXPECT_EQ(r.code, code);
        requests.push_back(base::ToUtf8(r.device) + " " + std::to_string(r.command));
    }
    EXPECT_EQ(Joined(requests),
              "\\\\.\\VfControl 201 | \\\\.\\C: 1000 | \\\\.\\VfControl 202 | "
              "\\\\.\\VfControl 201 | \\\\.\\D: 1000 | \\\\.\\VfControl 202");
    EXPECT_EQ(cm.m().files().OpenCount(L"\\\\.\\C:"), 0);
    EXPECT_EQ(cm.m().files().OpenCount(L"\\\\.\\D:"), 0);
    EXPECT_EQ(cm.m().files().OpenCount(kDriverControlDevice), 0);
}

// Without a driver every query fails (the control device does not exist, the volumes refuse
// the code), and so does a driver whose code the program did not derive: setup goes on.
TEST(PrerequisiteChecksTest, NoDriverOrAnotherDriversCodeMeansNotVeiled) {
    for (bool loaded : {false, true}) {
        SCOPED_TRACE(loaded ? "a driver that answers another code" : "no driver");
        ChecksMachine cm;
        cm.m().volumes().SetVolumeState(L'C', 2, 1);
        if (loaded) {
            cm.m().volumes().LoadDriver(L"{01234567-89ab-cdef-0000-0123456789ab}");
        }
        uint32_t exitCode = 0;
        EXPECT_TRUE(cm.Run(&exitCode, kDriverBase));
        EXPECT_TRUE(cm.Boxes().empty());
        EXPECT_EQ(Joined(VolumesQueried(cm.m())), "C");
        for (const sim::DeviceRequest& r : cm.m().volumes().RequestLog()) {
            EXPECT_FALSE(r.succeeded);
            EXPECT_EQ(r.error, win::kErrorInvalidFunction);
        }
    }
}

// The Windows rule of the drive type: an error left by GetDriveTypeW makes the volume
// ineligible, whatever type it reports.
class ErrorLeavingVolumes : public RecordingVolumes {
public:
    ErrorLeavingVolumes(platform::Volumes& inner, Events& events, platform::System& system)
        : RecordingVolumes(inner, events), system_(system) {}
    uint32_t GetDriveType(const std::wstring& root) override {
        const uint32_t type = RecordingVolumes::GetDriveType(root);
        system_.SetLastError(win::kErrorMoreData);
        return type;
    }

private:
    platform::System& system_;
};

TEST(PrerequisiteChecksTest, ADriveTypeThatLeavesAnErrorIsNotEligible) {
    sim::Machine m;
    m.volumes().LoadDriver(kDriverGuid);
    m.volumes().SetVolumeState(L'C', 2, 1);
    Events events;
    ErrorLeavingVolumes volumes(m.volumes(), events, m.system());
    platform::Platform p{m.registry(), m.files(),     volumes, m.shell(),
                         m.system(),   m.processes(), m.wmi(), m.ui()};
    EXPECT_FALSE(IsEligibleVolume(p, L'C'));
    EXPECT_FALSE(IsAnyVolumeVeiled(p, kDriverBase));
    EXPECT_TRUE(m.volumes().RequestLog().empty());
    // The error is cleared before each call: one left over from before does not count.
    m.SetLastError(win::kErrorAccessDenied);
    EXPECT_TRUE(IsEligibleVolume(m.platform(), L'C'));
}

// ---- The main interface and the Warden ----

TEST(PrerequisiteChecksTest, TheMainInterfacesMutexIsOnlyProbed) {
    struct Case {
        const char* name;
        bool foreign;
        uint32_t createError;
        bool ok;
    };
    const Case cases[] = {
        {"not running", false, 0, true},
        {"running", true, 0, false},
        {"the mutex cannot be created", true, win::kErrorAccessDenied, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChecksMachine cm;
        if (c.foreign) {
            cm.m().processes().AddForeignMutex(kMainInterfaceMutex);
        }
        cm.m().processes().FailMutex(kMainInterfaceMutex, c.createError);
        uint32_t exitCode = 0;
        EXPECT_EQ(cm.Run(&exitCode), c.ok);
        EXPECT_EQ(exitCode, c.ok ? 0xDEADBEEFu : kExitMainInterfaceRunning);
        EXPECT_EQ(Joined(cm.Boxes()), c.ok ? "" : Box(IDS_CLOSE_MAIN_UI));
        EXPECT_EQ(Joined(cm.Starting("mutex")),
                  "mutex Global\\{A3C5E7F9-1B2D-4E6F-8091-A2B3C4D5E6F7}");
        // Setup never keeps a handle: a mutex it made itself is gone again.
        EXPECT_EQ(cm.m().processes().MutexHandleCount(kMainInterfaceMutex), 0);
        EXPECT_EQ(cm.m().processes().MutexExists(kMainInterfaceMutex), c.foreign);
        // A refusal notifies no Warden.
        EXPECT_EQ(cm.Starting("find").size(), c.ok ? 1u : 0u);
    }
}

// On Windows 7 without the updates the question comes first; only a Yes leads to the mutex.
TEST(PrerequisiteChecksTest, TheMutexIsProbedOnlyAfterTheUpdateQuestion) {
    for (int answer : {win::kIdYes, win::kIdNo}) {
        SCOPED_TRACE(answer);
        ChecksMachine cm;
        cm.SetHotfixes({});
        cm.m().processes().AddForeignMutex(kMainInterfaceMutex);
        cm.m().ui().User().AnswerMessageBox(answer);
        uint32_t exitCode = 0;
        EXPECT_FALSE(cm.Run(&exitCode));
        if (answer == win::kIdYes) {
            EXPECT_EQ(exitCode, kExitMainInterfaceRunning);
            EXPECT_EQ(Joined(cm.Boxes()),
                      Box(IDS_HOTFIX_KB3185278) + " | " + Box(IDS_CLOSE_MAIN_UI));
        } else {
            EXPECT_EQ(exitCode, kExitCancelled);
            EXPECT_EQ(Joined(cm.Boxes()), Box(IDS_HOTFIX_KB3185278));
            EXPECT_TRUE(cm.Starting("mutex").empty());
        }
    }
}

TEST(PrerequisiteChecksTest, TheWardenIsNotifiedLastAndSynchronously) {
    ChecksMachine cm;
    bool handled = false;
    const platform::WindowHandle warden = cm.m().processes().AddWindow(
        kWardenWindowTitle, L"AnyClass", [&handled](uint32_t message, uintptr_t, intptr_t) {
            handled = handled || message == kWardenNotifyMessage;
            return static_cast<intptr_t>(77);
        });
    uint32_t exitCode = 0;
    EXPECT_TRUE(cm.Run(&exitCode));
    EXPECT_TRUE(handled);  // handled before the checks returned
    const auto messages = cm.m().processes().Messages(warden);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, 1147u);
    EXPECT_EQ(messages[0].wParam, 0u);
    EXPECT_EQ(messages[0].lParam, 0);
    EXPECT_FALSE(messages[0].posted);

    // The whole run in order: version, WOW64, the volumes, the updates, the mutex, the Warden.
    std::vector<std::string> kinds;
    for (const std::string& line : cm.Lines()) {
        const std::string kind = line.substr(0, line.find(' '));
        if (kinds.empty() || kinds.back() != kind) {
            kinds.push_back(kind);
        }
    }
    EXPECT_EQ(Joined(kinds), "version | wow64 | type | ioctl | type | wmi | mutex | find | send");
    EXPECT_EQ(Joined(cm.Starting("find")), "find Corvane Warden Window");
    EXPECT_EQ(Joined(cm.Starting("send")), "send 1147 0 0");

    // Without a Warden nothing is sent.
    ChecksMachine none;
    EXPECT_TRUE(none.Run(&exitCode));
    EXPECT_TRUE(none.Starting("send").empty());
}

// ---- The whole start-up ----

// The checks run inside CSetupApp in both modes: their boxes appear in a silent run too, a
// refusal ends the run with its exit code before any page, and the Warden has handled its
// message before the first page appears.
TEST(PrerequisiteChecksTest, SetupRunsTheChecksBeforeAnyPageInBothModes) {
    struct Case {
        const char* name;
        const wchar_t* commandLine;
        uint32_t major, minor;
        bool product;  // the main interface runs
        std::vector<int> answers;
        uint32_t exitCode;
        std::vector<std::string> boxes;
    };
    const Case cases[] = {
        {"wizard on Windows 2000",
         L"Setup.exe",
         5,
         0,
         false,
         {},
         kExitUnsupportedWindows,
         {Box(IDS_OS_NOT_SUPPORTED)}},
        {"silent on Windows 2000",
         L"Setup.exe -silent",
         5,
         0,
         false,
         {},
         kExitUnsupportedWindows,
         {Box(IDS_OS_NOT_SUPPORTED)}},
        {"silent, product running",
         L"Setup.exe /silent",
         10,
         0,
         true,
         {},
         kExitMainInterfaceRunning,
         {Box(IDS_CLOSE_MAIN_UI)}},
        {"silent on Windows 7, No",
         L"Setup.exe -silent",
         6,
         1,
         false,
         {win::kIdNo},
         kExitCancelled,
         {Box(IDS_HOTFIX_KB3185278)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChecksMachine cm;
        cm.SetVersion(c.major, c.minor);
        cm.SetHotfixes({});
        cm.m().shell().SetCommandLine(c.commandLine);
        if (c.product) {
            cm.m().processes().AddForeignMutex(kMainInterfaceMutex);
        }
        for (int answer : c.answers) {
            cm.m().ui().User().AnswerMessageBox(answer);
        }
        InstallerSettings settings;
        SetupProcess process;
        EXPECT_EQ(RunSetup(cm.platform(), settings, process), c.exitCode);
        EXPECT_EQ(Joined(cm.Boxes()), Joined(c.boxes));
        EXPECT_TRUE(cm.Starting("page").empty());
        EXPECT_TRUE(cm.m().processes().ProcessStarts().empty());
        uitest::ExpectNoUiErrors(cm.m());
    }

    // Windows 7 without the updates, Yes: the wizard starts, and the Warden handled its
    // message before the Welcome page appeared.
    ChecksMachine cm;
    cm.SetHotfixes({});
    bool handled = false;
    cm.m().processes().AddWindow(kWardenWindowTitle, L"AnyClass",
                                 [&handled](uint32_t message, uintptr_t, intptr_t) {
                                     handled = handled || message == kWardenNotifyMessage;
                                     return static_cast<intptr_t>(0);
                                 });
    cm.m().ui().User().AnswerMessageBox(win::kIdYes);
    bool handledBeforeWelcome = false;
    cm.m().ui().User().OnPage(IDD_WELCOME, [&](sim::PageDriver& page) {
        handledBeforeWelcome = handled;
        page.Click(win::kIdCancel);
    });
    cm.m().ui().User().AnswerMessageBox(win::kIdOk);  // exit setup? OK
    InstallerSettings settings;
    SetupProcess process;
    EXPECT_EQ(RunSetup(cm.platform(), settings, process), kExitCancelled);
    EXPECT_TRUE(handledBeforeWelcome);
    const std::vector<std::string> pages = cm.Starting("page");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0], "page " + std::to_string(IDD_WELCOME));
    uitest::ExpectNoUiErrors(cm.m());
}

}  // namespace
