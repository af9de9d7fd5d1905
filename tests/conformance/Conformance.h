// The conformance harness: one set of tables of cases per operation, compiled twice - once
// against the simulated Windows (env/SimEnv.cpp) and once against the Win32 adapters run
// under Wine (env/Win32Env.cpp). Every row states the outcome Windows documents; a row that
// Wine answers differently carries a WineNote that names the difference and, when known,
// the value Wine gives, which is then checked on Wine instead. The sim always has to give
// the documented value.
//
// Outcomes are compared as short texts such as "ok=0 err=2 size=8": a row's expected text
// lists exactly the parts of the outcome that Windows documents, and the table code builds
// the observed text from the same parts (see Out).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace conf {

// Written into the thread's last-error value before a call, to see whether and how the
// call touched it.
constexpr uint32_t kSentinel = 0xDEADBEEF;

// A message a recording window received.
struct Message {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// The user's mouse and keyboard on a dialog of the program (for the Ui table). The Env makes
// one for a dialog whose modal loop runs on the calling thread, and its actions are called
// from that dialog's procedure. On the sim they take effect at once; on Windows they post or
// send the input messages, which the modal loop handles before any message posted after
// the action.
class DialogUser {
public:
    virtual ~DialogUser() = default;
    // A mouse click on the control: disabled or hidden controls ignore it.
    virtual void Click(int id) = 0;
    // The focus moves to the edit as the Tab key moves it (its text gets selected), then
    // the characters of |text| are typed one key at a time.
    virtual void Type(int id, const std::wstring& text) = 0;
    // A mouse click on the item |index| of a list box.
    virtual void SelectItem(int listId, int index) = 0;
    // Moves the focus onto the control as the Tab key does (WM_NEXTDLGCTL).
    virtual void Focus(int id) = 0;
    // A key (Escape, Enter) pressed while the dialog is active.
    virtual void PressKey(uint32_t virtualKey) = 0;
    // A click on the caption's close box.
    virtual void CloseBox() = 0;
};

// What differs between the two sides: the platform itself and the set-up that the ports
// cannot do. One Env per test, so that the sim side gets a fresh machine every time.
class Env {
public:
    virtual ~Env() = default;

    virtual platform::Platform& Platform() = 0;
    // True when the tables run under Wine (ntdll exports wine_get_version).
    virtual bool IsWine() = 0;
    // A name for this process that is unique among concurrently running ones.
    virtual uint32_t ProcessId() = 0;

    // What the side knows by other means than the ports, to compare the ports' answers to.
    virtual platform::OsVersion KnownVersion() = 0;
    virtual uint16_t KnownUiLanguage() = 0;
    virtual std::wstring KnownModulePath() = 0;

    // A top-level window titled |title|, owned by another thread, that records every
    // message it receives and answers |kWmUser| + 1 with |reply|. False when it cannot be
    // made. The window lives until the Env is destroyed.
    virtual bool CreateRecordingWindow(const std::wstring& title, intptr_t reply) = 0;
    virtual std::vector<Message> RecordedMessages() = 0;

    // A program at |path| (in the scratch folder) that records its command line and exits
    // with |exitCode|. StandInCommandLine reports what the program saw (false: it never
    // ran).
    virtual bool InstallStandIn(const std::wstring& path, uint32_t exitCode) = 0;
    virtual bool StandInCommandLine(const std::wstring& path, std::wstring* commandLine) = 0;

    // A library at |path| whose export DllRegisterServer records its call and returns S_OK.
    virtual bool InstallRegisterLibrary(const std::wstring& path) = 0;
    virtual bool LibraryRegistered(const std::wstring& path) = 0;

    // Another owner of the named mutex |name| (a handle the ports do not know).
    virtual bool HoldForeignMutex(const std::wstring& name) = 0;

    // The text StringFromGUID2 makes of |guid| ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}").
    virtual std::wstring GuidString(const platform::Guid& guid) = 0;

    // The start-up information the stand-in program at |path| was given (STARTUPINFO's
    // dwFlags and wShowWindow); false when it never ran.
    virtual bool StandInStartup(const std::wstring& path, uint32_t* flags, int* showWindow) = 0;

    // A library at |path| that imports kDependencyName (and calls it from its
    // DllRegisterServer), placed without that library.
    virtual bool InstallDependentLibrary(const std::wstring& path) = 0;
    // The imported library, placed in |folder|.
    virtual bool InstallDependency(const std::wstring& folder) = 0;

    // Restricts this process's library search the way the program's start-up may:
    // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) or SetDllDirectoryW(L"").
    // Neither can be taken back, so on Windows this is done only in a process run for it
    // (CV_CONFORMANCE_DLL_SEARCH set in the environment); false otherwise.
    virtual bool RestrictDllSearch(platform::DllSearchRestriction way) = 0;

    // Another process - the stand-in of the product's main interface - that holds the
    // named mutex |name| until the Env is destroyed. False when it cannot be started.
    virtual bool StartMutexHolder(const std::wstring& name) = 0;
    // Another process - the stand-in of the product's Warden - that owns a hidden top-level
    // window titled |title|, answers every message from WM_USER up with |reply| and
    // records it before answering; it ends with the Env. OtherWindowMessages lists what it
    // recorded so far.
    virtual bool StartWindowOwner(const std::wstring& title, intptr_t reply) = 0;
    virtual std::vector<Message> OtherWindowMessages() = 0;

    // Dialogs from the program's own templates (Setup.rc): the resources and what their
    // controls need loaded first (the rich edit's library). False when that fails.
    virtual bool PrepareDialogs() = 0;
    // Makes |language| the user interface language the templates' variant is picked by.
    // False when this side cannot: Windows runs in the language it was started in.
    virtual bool UseUiLanguage(uint16_t language) = 0;
    // The user's hands on |dialog| (see DialogUser).
    virtual std::unique_ptr<DialogUser> User(platform::WindowHandle dialog) = 0;
    // The next message box titled |caption| is answered by the user with |button| (IDOK,
    // IDCANCEL, IDYES, IDNO). MessageBoxAnswered then tells whether that happened; call it
    // once after each box.
    virtual bool AnswerMessageBox(const std::wstring& caption, int button) = 0;
    virtual bool MessageBoxAnswered() = 0;

    // Another process that holds |path| until ReleaseHolders (or the Env's end): with
    // |running| the stand-in program is copied to |path| and runs from there, its image in
    // use; otherwise a stand-in program elsewhere keeps |path| open for reading, sharing
    // reading only. False when that cannot be arranged.
    virtual bool HoldInOtherProcess(const std::wstring& path, bool running) = 0;
    virtual void ReleaseHolders() = 0;
};

// The library the dependent library of InstallDependentLibrary imports.
constexpr const wchar_t kDependencyName[] = L"cv_dependency.dll";

// Made by the env file of each side.
std::unique_ptr<Env> CreateEnv();

// A difference between Wine and Windows that a row documents. With |observed| set, Wine
// must give that outcome; without it the row is only reported on Wine.
struct WineNote {
    const char* reason = nullptr;
    const char* observed = nullptr;
};

// Counts for the summary line every program prints at exit.
struct Counts {
    int rows = 0;
    int wineDifferences = 0;
};
Counts& Totals();
void PrintSummary();

// Runs the tests that --gtest_filter selects and prints the summary; returns the program's
// exit code: RUN_ALL_TESTS's, or 1 when the selection holds no test at all (a filter that
// names no test must not pass with nothing checked).
int RunTables();

// The value of the environment variable |name| that a ctest registration sets to say what
// its run is for (e.g. CV_CONFORMANCE_UI_LANGUAGE=2052); empty when it is not set. A test
// that cannot check what its run was started for fails instead of skipping.
std::string StartedFor(const char* name);

// Builds an outcome text "name=value name=value".
class Out {
public:
    Out& Add(const char* name, const std::string& text);
    Out& Add(const char* name, const std::wstring& text);  // quoted, escaped
    Out& Add(const char* name, const wchar_t* text) { return Add(name, std::wstring(text)); }
    Out& Add(const char* name, bool value) { return Raw(name, value ? "1" : "0"); }
    Out& Add(const char* name, int value) { return Raw(name, std::to_string(value)); }
    Out& Add(const char* name, uint32_t value) { return Raw(name, std::to_string(value)); }
    Out& Add(const char* name, uint64_t value) { return Raw(name, std::to_string(value)); }
    Out& Add(const char* name, int64_t value) { return Raw(name, std::to_string(value)); }
    Out& Add(const char* name, const std::vector<std::wstring>& items);
    Out& Hex(const char* name, uint32_t value);
    Out& Bytes(const char* name, const void* data, size_t size);
    const std::string& str() const { return text_; }

private:
    Out& Raw(const char* name, const std::string& value);
    std::string text_;
};

std::string Quote(const std::wstring& text);
std::string Utf8(const std::wstring& text);

// The base of every table's tests: a fresh Env, a scratch folder on drive C and a scratch
// key under HKCU, both removed afterwards.
class ConformanceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    platform::Platform& P() { return env_->Platform(); }
    Env& E() { return *env_; }
    bool OnWine() { return env_->IsWine(); }

    // The scratch folder (C:\cvconf\<pid>\<n>) and a path inside it.
    const std::wstring& Folder() const { return folder_; }
    std::wstring InFolder(const std::wstring& name) const { return folder_ + L"\\" + name; }
    // The scratch key (Software\CorvaneConformance\<pid>-<n> under HKCU) and a subkey path.
    const std::wstring& Key() const { return key_; }
    std::wstring SubKey(const std::wstring& name) const { return key_ + L"\\" + name; }

    // A name for a kernel object or a window that no other test or process uses at the
    // same time ("CvConformance <what> <pid> <scratch key>"; no backslash, which would name
    // a namespace).
    std::wstring UniqueName(const wchar_t* what);

    // Compares one row's outcome, printing got / expected / the row on a mismatch.
    void Check(const std::string& row, const std::string& got, const std::string& expected,
               WineNote wine = {});

    // Files written and read through the ports.
    bool WriteBytes(const std::wstring& path, const std::string& bytes);
    bool WriteText(const std::wstring& path, const std::string& ascii) {
        return WriteBytes(path, ascii);
    }
    bool ReadBytes(const std::wstring& path, std::string* bytes);
    // A file's bytes, or "<missing>" when it cannot be read.
    std::string Content(const std::wstring& path) {
        std::string bytes;
        if (!ReadBytes(path, &bytes))
            return "<missing>";
        return bytes;
    }
    bool Exists(const std::wstring& path) {
        return P().files.GetFileAttributes(path) != win::kInvalidFileAttributes;
    }
    // Removes a file even when it is read-only.
    void ForceDelete(const std::wstring& path);
    // The thread's last-error value; ArmLastError first puts the sentinel there, so that a
    // call that leaves it alone shows as 0xDEADBEEF.
    uint32_t LastError() { return P().system.GetLastError(); }
    void ArmLastError() { P().system.SetLastError(kSentinel); }
    // The outcome of a call that returns BOOL and sets the last-error value on failure:
    // "ok=1", or "ok=0 err=N".
    std::string Result(bool ok) {
        Out out;
        out.Add("ok", ok);
        if (!ok)
            out.Add("err", LastError());
        return out.str();
    }

private:
    void RemoveTree(const std::wstring& folder, int depth);

    std::unique_ptr<Env> env_;
    std::wstring folder_;
    std::wstring key_;
};

}  // namespace conf
