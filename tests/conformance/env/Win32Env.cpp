// The Windows side of the conformance tables: the real Win32 adapters, run under Wine (or
// Windows). Set-up the ports cannot do is done here with the raw API: a recording window on
// its own thread, stand-in programs and libraries copied from the fixtures next to this
// program, and a foreign owner of a named mutex.
#include "Conformance.h"

#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "win32/Win32Platform.h"

namespace conf {
namespace {

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() > 32768)
            return std::wstring();
        path.resize(path.size() * 2);
    }
}

// A fixture program or library built next to this program.
std::wstring FixturePath(const wchar_t* name) {
    std::wstring path = ProgramPath();
    const size_t cut = path.find_last_of(L'\\');
    if (cut == std::wstring::npos)
        return name;
    return path.substr(0, cut + 1) + name;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteWholeFile(const std::wstring& path, const void* data, DWORD size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, data, size, &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

bool ReadWholeFile(const std::wstring& path, std::string* bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes->clear();
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0 &&
           bytes->size() < (1u << 20)) {
        bytes->append(buffer, read);
    }
    CloseHandle(file);
    return true;
}

// A top-level window on its own thread with a message loop, recording what it receives.
class RecordingWindow {
public:
    RecordingWindow(const std::wstring& title, intptr_t reply) : title_(title), reply_(reply) {}
    ~RecordingWindow() {
        if (window_ != nullptr)
            PostMessageW(window_, WM_CLOSE, 0, 0);
        if (thread_ != nullptr) {
            WaitForSingleObject(thread_, 10000);
            CloseHandle(thread_);
        }
        if (ready_ != nullptr)
            CloseHandle(ready_);
    }

    bool Start() {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (ready_ == nullptr)
            return false;
        thread_ = ::CreateThread(nullptr, 0, &RecordingWindow::Run, this, 0, nullptr);
        if (thread_ == nullptr)
            return false;
        WaitForSingleObject(ready_, 10000);
        return window_ != nullptr;
    }

    std::vector<Message> Messages() {
        std::lock_guard<std::mutex> guard(mutex_);
        return messages_;
    }

private:
    static DWORD WINAPI Run(LPVOID self) {
        static_cast<RecordingWindow*>(self)->Loop();
        return 0;
    }

    void Loop() {
        static const wchar_t kClass[] = L"CvConformanceRecorder";
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &RecordingWindow::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        RegisterClassW(&wc);  // fails harmlessly when another test registered it already
        window_ = CreateWindowExW(0, kClass, title_.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, wc.hInstance, this);
        SetEvent(ready_);
        if (window_ == nullptr)
            return;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr) {
            std::lock_guard<std::mutex> guard(self->mutex_);
            self->messages_.push_back(Message{message, wParam, lParam});
        }
        if (message == WM_USER + 1 && self != nullptr)
            return self->reply_;
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    std::wstring title_;
    intptr_t reply_;
    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;
    std::mutex mutex_;
    std::vector<Message> messages_;
};

// The user's hands on a real dialog: the input messages a mouse or the keyboard would
// produce. Keys and typed characters are posted, so that the modal loop handles them
// (IsDialogMessage) before a message the table posts afterwards.
class Win32DialogUser : public DialogUser {
public:
    explicit Win32DialogUser(HWND dialog) : dialog_(dialog) {}

    void Click(int id) override {
        // A disabled or hidden window gets no mouse input at all; BM_CLICK does not check
        // that on Wine, so it is checked here.
        HWND control = GetDlgItem(dialog_, id);
        if (control == nullptr || !IsWindowEnabled(control) || !IsWindowVisible(control))
            return;
        SendMessageW(control, BM_CLICK, 0, 0);
    }

    void Type(int id, const std::wstring& text) override {
        HWND edit = GetDlgItem(dialog_, id);
        if (edit == nullptr || !IsWindowEnabled(edit))
            return;
        SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
        for (wchar_t c : text)
            PostMessageW(edit, WM_CHAR, c, 1);
    }

    void SelectItem(int listId, int index) override {
        HWND list = GetDlgItem(dialog_, listId);
        RECT item = {};
        if (list == nullptr || !IsWindowEnabled(list) ||
            SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item)) == LB_ERR)
            return;
        const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(list, WM_LBUTTONUP, 0, at);
    }

    void Focus(int id) override {
        HWND control = GetDlgItem(dialog_, id);
        if (control != nullptr)
            SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    }

    void PressKey(uint32_t virtualKey) override {
        HWND target = GetFocus();
        if (target == nullptr)
            target = dialog_;
        PostMessageW(target, WM_KEYDOWN, virtualKey, 1);
        PostMessageW(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
    }

    void CloseBox() override { PostMessageW(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0); }

private:
    HWND dialog_;
};

// Answers a message box from another thread: waits for the dialog window with the box's
// caption and clicks the button by sending it WM_COMMAND.
class BoxAnswerer {
public:
    BoxAnswerer(const std::wstring& caption, int button) : caption_(caption), button_(button) {}
    ~BoxAnswerer() {
        if (thread_ != nullptr) {
            WaitForSingleObject(thread_, 15000);
            CloseHandle(thread_);
        }
    }

    bool Start() {
        thread_ = ::CreateThread(nullptr, 0, &BoxAnswerer::Run, this, 0, nullptr);
        return thread_ != nullptr;
    }

    bool Finish() {
        if (thread_ == nullptr)
            return false;
        WaitForSingleObject(thread_, 15000);
        CloseHandle(thread_);
        thread_ = nullptr;
        return answered_;
    }

private:
    static DWORD WINAPI Run(LPVOID self) {
        auto* me = static_cast<BoxAnswerer*>(self);
        for (int attempt = 0; attempt < 400; ++attempt) {
            HWND box = FindWindowW(L"#32770", me->caption_.c_str());
            if (box != nullptr) {
                SendMessageW(box, WM_COMMAND, MAKEWPARAM(me->button_, BN_CLICKED), 0);
                me->answered_ = true;
                return 0;
            }
            Sleep(25);
        }
        return 1;
    }

    std::wstring caption_;
    int button_;
    HANDLE thread_ = nullptr;
    bool answered_ = false;
};

// One of the product's stand-in programs (Corvane.exe, Warden.exe, built beside this program)
// running as another process until the object goes: started with a ready file it writes
// once set up and a stop file that ends it. The files live in the temporary folder.
class StandInProcess {
public:
    ~StandInProcess() {
        if (process_ != nullptr) {
            WriteWholeFile(stopFile_, "stop", 4);
            if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0)
                TerminateProcess(process_, 1);
            CloseHandle(process_);
        }
        for (const std::wstring* f : {&readyFile_, &stopFile_, &logFile_}) {
            if (!f->empty())
                DeleteFileW(f->c_str());
        }
    }

    // Starts |program| with |arguments| (and "--log LogFile()" when |log|) and waits until
    // it is ready.
    bool Start(const wchar_t* program, const std::wstring& arguments, const wchar_t* tag,
               bool log) {
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD n = GetTempPathW(MAX_PATH, temp);
        if (n == 0 || n >= MAX_PATH)
            return false;
        const std::wstring base = std::wstring(temp) + L"cvconf-" + tag + L"-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(GetTickCount());
        readyFile_ = base + L".ready";
        stopFile_ = base + L".stop";
        logFile_ = base + L".log";
        const std::wstring path = FixturePath(program);
        std::wstring commandLine = L"\"" + path + L"\" " + arguments + L" --ready-file \"" +
                                   readyFile_ + L"\" --stop-file \"" + stopFile_ +
                                   L"\" --lifetime 300";
        if (log)
            commandLine += L" --log \"" + logFile_ + L"\"";
        std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
        line.push_back(L'\0');
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info)) {
            std::printf("cannot start %ls (error %lu)\n", path.c_str(), GetLastError());
            return false;
        }
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        for (int attempt = 0; attempt < 600; ++attempt) {
            if (FileExists(readyFile_))
                return true;
            if (WaitForSingleObject(process_, 50) == WAIT_OBJECT_0) {
                DWORD code = 0;
                GetExitCodeProcess(process_, &code);
                std::printf("%ls ended early with %lu\n", path.c_str(), code);
                return false;
            }
        }
        std::printf("%ls did not get ready\n", path.c_str());
        return false;
    }

    const std::wstring& LogFile() const { return logFile_; }

private:
    HANDLE process_ = nullptr;
    std::wstring readyFile_;
    std::wstring stopFile_;
    std::wstring logFile_;
};

class Win32Env : public Env {
public:
    ~Win32Env() override {
        ReleaseHolders();
        standIns_.clear();
        window_.reset();
        for (HANDLE h : mutexes_)
            CloseHandle(h);
    }

    platform::Platform& Platform() override { return win32::RealPlatform(); }

    bool IsWine() override {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }

    uint32_t ProcessId() override { return GetCurrentProcessId(); }

    platform::OsVersion KnownVersion() override {
        platform::OsVersion v;
        using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        FARPROC proc = ntdll ? GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
        if (proc == nullptr)
            return v;
        OSVERSIONINFOEXW info = {};
        info.dwOSVersionInfoSize = sizeof info;
        reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void (*)()>(proc))(&info);
        v.major = info.dwMajorVersion;
        v.minor = info.dwMinorVersion;
        v.build = info.dwBuildNumber;
        v.platformId = info.dwPlatformId;
        v.servicePackMajor = info.wServicePackMajor;
        v.productType = info.wProductType;
        return v;
    }

    uint16_t KnownUiLanguage() override { return GetUserDefaultUILanguage(); }

    std::wstring KnownModulePath() override { return ProgramPath(); }

    bool CreateRecordingWindow(const std::wstring& title, intptr_t reply) override {
        window_.reset(new RecordingWindow(title, reply));
        return window_->Start();
    }

    std::vector<Message> RecordedMessages() override {
        return window_ ? window_->Messages() : std::vector<Message>();
    }

    bool InstallStandIn(const std::wstring& path, uint32_t exitCode) override {
        if (!CopyFileW(FixturePath(L"cv_standin.exe").c_str(), path.c_str(), FALSE)) {
            std::printf("cannot copy the stand-in program (error %lu)\n", GetLastError());
            return false;
        }
        const std::string code = std::to_string(exitCode);
        return WriteWholeFile(path + L".code", code.data(), static_cast<DWORD>(code.size()));
    }

    bool StandInCommandLine(const std::wstring& path, std::wstring* commandLine) override {
        std::string bytes;
        if (!ReadWholeFile(path + L".log", &bytes))
            return false;
        commandLine->assign(reinterpret_cast<const wchar_t*>(bytes.data()),
                            bytes.size() / sizeof(wchar_t));
        return true;
    }

    bool InstallRegisterLibrary(const std::wstring& path) override {
        if (!CopyFileW(FixturePath(L"cv_register.dll").c_str(), path.c_str(), FALSE)) {
            std::printf("cannot copy the fixture library (error %lu)\n", GetLastError());
            return false;
        }
        return true;
    }

    bool LibraryRegistered(const std::wstring& path) override {
        return FileExists(path + L".called");
    }

    bool HoldForeignMutex(const std::wstring& name) override {
        HANDLE h = CreateMutexW(nullptr, FALSE, name.c_str());
        if (h == nullptr)
            return false;
        mutexes_.push_back(h);
        return true;
    }

    std::wstring GuidString(const platform::Guid& guid) override {
        GUID g = {};
        g.Data1 = guid.data1;
        g.Data2 = guid.data2;
        g.Data3 = guid.data3;
        for (int i = 0; i < 8; ++i)
            g.Data4[i] = guid.data4[i];
        wchar_t text[64] = {};
        const int n = StringFromGUID2(g, text, 64);
        return n > 0 ? std::wstring(text) : std::wstring();
    }

    bool StandInStartup(const std::wstring& path, uint32_t* flags, int* showWindow) override {
        std::string bytes;
        if (!ReadWholeFile(path + L".startup", &bytes))
            return false;
        unsigned long f = 0;
        unsigned s = 0;
        if (std::sscanf(bytes.c_str(), "%lu %u", &f, &s) != 2)
            return false;
        *flags = static_cast<uint32_t>(f);
        *showWindow = static_cast<int>(s);
        return true;
    }

    bool InstallDependentLibrary(const std::wstring& path) override {
        if (!CopyFileW(FixturePath(L"cv_depends.dll").c_str(), path.c_str(), FALSE)) {
            std::printf("cannot copy the dependent library (error %lu)\n", GetLastError());
            return false;
        }
        return true;
    }

    bool InstallDependency(const std::wstring& folder) override {
        const std::wstring target = folder + L"\\" + kDependencyName;
        if (!CopyFileW(FixturePath(L"fixture-deps\\cv_dependency.dll").c_str(), target.c_str(),
                       FALSE)) {
            std::printf("cannot copy the imported library (error %lu)\n", GetLastError());
            return false;
        }
        return true;
    }

    bool RestrictDllSearch(platform::DllSearchRestriction way) override {
        if (std::getenv("CV_CONFORMANCE_DLL_SEARCH") == nullptr)
            return false;
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        if (way == platform::DllSearchRestriction::DefaultDllDirectories) {
            using SetDefaultFn = BOOL(WINAPI*)(DWORD);
            FARPROC proc = kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
            return proc != nullptr && reinterpret_cast<SetDefaultFn>(reinterpret_cast<void (*)()>(
                                          proc))(LOAD_LIBRARY_SEARCH_SYSTEM32);
        }
        if (way == platform::DllSearchRestriction::EmptyDllDirectory) {
            using SetDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
            FARPROC proc = kernel ? GetProcAddress(kernel, "SetDllDirectoryW") : nullptr;
            return proc != nullptr &&
                   reinterpret_cast<SetDirectoryFn>(reinterpret_cast<void (*)()>(proc))(L"");
        }
        return false;
    }

    bool StartMutexHolder(const std::wstring& name) override {
        std::unique_ptr<StandInProcess> holder(new StandInProcess());
        if (!holder->Start(L"Corvane.exe", L"--mutex \"" + name + L"\"", L"mutex", false))
            return false;
        standIns_.push_back(std::move(holder));
        return true;
    }

    bool StartWindowOwner(const std::wstring& title, intptr_t reply) override {
        std::unique_ptr<StandInProcess> owner(new StandInProcess());
        const bool started = owner->Start(
            L"Warden.exe",
            L"--title \"" + title + L"\" --reply " + std::to_wstring(static_cast<long long>(reply)),
            L"window", true);
        if (!started)
            return false;
        windowOwner_ = owner.get();
        standIns_.push_back(std::move(owner));
        return true;
    }

    std::vector<Message> OtherWindowMessages() override {
        std::vector<Message> out;
        std::string bytes;
        if (windowOwner_ == nullptr || !ReadWholeFile(windowOwner_->LogFile(), &bytes))
            return out;
        size_t start = 0;
        while (start < bytes.size()) {
            size_t end = bytes.find('\n', start);
            if (end == std::string::npos)
                end = bytes.size();
            unsigned long long message = 0, wParam = 0;
            long long lParam = 0;
            if (std::sscanf(bytes.substr(start, end - start).c_str(), "%llu %llu %lld", &message,
                            &wParam, &lParam) == 3) {
                out.push_back(Message{static_cast<uint32_t>(message),
                                      static_cast<uintptr_t>(wParam),
                                      static_cast<intptr_t>(lParam)});
            }
            start = end + 1;
        }
        return out;
    }

    bool PrepareDialogs() override {
        // The rich edit class comes from the system's riched20.dll, loaded from the system
        // folder as the program loads it; it stays loaded for the rest of the run.
        static bool loaded = false;
        if (!loaded) {
            wchar_t system[MAX_PATH] = {};
            const UINT n = GetSystemDirectoryW(system, MAX_PATH);
            if (n == 0 || n >= MAX_PATH)
                return false;
            loaded = LoadLibraryW((std::wstring(system) + L"\\riched20.dll").c_str()) != nullptr;
            if (!loaded)
                std::printf("riched20.dll does not load (error %lu)\n", GetLastError());
        }
        return loaded;
    }

    bool UseUiLanguage(uint16_t language) override {
        return GetUserDefaultUILanguage() == language;
    }

    std::unique_ptr<DialogUser> User(platform::WindowHandle dialog) override {
        return std::unique_ptr<DialogUser>(
            new Win32DialogUser(reinterpret_cast<HWND>(dialog.value)));
    }

    bool AnswerMessageBox(const std::wstring& caption, int button) override {
        answerer_.reset(new BoxAnswerer(caption, button));
        return answerer_->Start();
    }

    bool MessageBoxAnswered() override {
        const bool answered = answerer_ && answerer_->Finish();
        answerer_.reset();
        return answered;
    }

    bool HoldInOtherProcess(const std::wstring& path, bool running) override {
        // The holder of a data file runs from a copy of its own next to the file.
        const std::wstring program = running ? path : path + L".holder.exe";
        if (!CopyFileW(FixturePath(L"cv_standin.exe").c_str(), program.c_str(), FALSE)) {
            std::printf("cannot copy the stand-in program (error %lu)\n", GetLastError());
            return false;
        }
        const std::wstring held = running ? std::wstring() : path;
        if (!WriteWholeFile(program + L".hold", held.data(),
                            static_cast<DWORD>(held.size() * sizeof(wchar_t)))) {
            return false;
        }
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process)) {
            std::printf("cannot start the holder (error %lu)\n", GetLastError());
            DeleteFileW((program + L".hold").c_str());
            return false;
        }
        CloseHandle(process.hThread);
        holders_.push_back({program, process.hProcess});
        for (int i = 0; i < 500; ++i) {
            if (FileExists(program + L".ready"))
                return true;
            if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0)
                break;
        }
        std::printf("the holder did not get hold of the file\n");
        return false;
    }

    void ReleaseHolders() override {
        for (const Holder& holder : holders_) {
            DeleteFileW((holder.program + L".hold").c_str());
            WaitForSingleObject(holder.process, 15000);
            CloseHandle(holder.process);
            DeleteFileW((holder.program + L".ready").c_str());
            DeleteFileW((holder.program + L".log").c_str());
        }
        holders_.clear();
    }

private:
    struct Holder {
        std::wstring program;
        HANDLE process;
    };
    std::vector<Holder> holders_;

    std::vector<std::unique_ptr<StandInProcess>> standIns_;
    StandInProcess* windowOwner_ = nullptr;
    std::unique_ptr<BoxAnswerer> answerer_;
    std::unique_ptr<RecordingWindow> window_;
    std::vector<HANDLE> mutexes_;
};

}  // namespace

std::unique_ptr<Env> CreateEnv() {
    return std::unique_ptr<Env>(new Win32Env());
}

}  // namespace conf

int main(int argc, char** argv) {
    // The program initialises COM on its main thread for the multithreaded apartment; the
    // tables run there too.
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) {
        std::printf("CoInitializeEx failed: 0x%08lX\n", static_cast<unsigned long>(hr));
        return 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int result = conf::RunTables();
    CoUninitialize();
    return result;
}
