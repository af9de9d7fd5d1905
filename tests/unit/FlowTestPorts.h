// Ports for the flow and install tests: each forwards every call to a simulated machine's
// component, and a test overrides the calls it wants to see or to answer itself; and a log
// those overrides write what they saw into.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace flowtest {

// What the ports saw, in order, one line each; threads may add lines concurrently.
class Log {
public:
    void Add(const std::wstring& line) {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.push_back(line);
    }
    std::vector<std::wstring> Lines() {
        std::lock_guard<std::mutex> guard(mutex_);
        return lines_;
    }
    // The lines that start with |prefix|.
    std::vector<std::wstring> Starting(const std::wstring& prefix) {
        std::vector<std::wstring> out;
        for (const std::wstring& line : Lines()) {
            if (line.compare(0, prefix.size(), prefix) == 0) {
                out.push_back(line);
            }
        }
        return out;
    }

private:
    std::mutex mutex_;
    std::vector<std::wstring> lines_;
};

using platform::BrushHandle;
using platform::Color;
using platform::DcHandle;
using platform::DialogProcedure;
using platform::DllSearchRestriction;
using platform::EditStreamCallback;
using platform::FontDescription;
using platform::FontHandle;
using platform::Guid;
using platform::IconHandle;
using platform::KernelHandle;
using platform::Luid;
using platform::ModuleHandle;
using platform::OsVersion;
using platform::ProcAddress;
using platform::ProcessInfo;
using platform::Rect;
using platform::StartupOptions;
using platform::StockBrush;
using platform::ThreadProc;
using platform::WindowHandle;
using platform::WindowRelation;
using platform::Wow64Probe;

class ForwardingUi : public platform::Ui {
public:
    explicit ForwardingUi(platform::Ui& inner) : inner_(inner) {}
    bool InitCommonControls(uint32_t size, uint32_t classes) override {
        return inner_.InitCommonControls(size, classes);
    }
    intptr_t DialogBox(int templateId, DialogProcedure* procedure) override {
        return inner_.DialogBox(templateId, procedure);
    }
    bool EndDialog(WindowHandle dialog, intptr_t result) override {
        return inner_.EndDialog(dialog, result);
    }
    WindowHandle GetDlgItem(WindowHandle dialog, int id) override {
        return inner_.GetDlgItem(dialog, id);
    }
    int GetDlgCtrlID(WindowHandle window) override { return inner_.GetDlgCtrlID(window); }
    WindowHandle GetWindow(WindowHandle window, WindowRelation relation) override {
        return inner_.GetWindow(window, relation);
    }
    WindowHandle GetParent(WindowHandle window) override { return inner_.GetParent(window); }
    std::wstring GetClassName(WindowHandle window, int bufferChars) override {
        return inner_.GetClassName(window, bufferChars);
    }
    std::wstring GetWindowText(WindowHandle window) override {
        return inner_.GetWindowText(window);
    }
    bool SetWindowText(WindowHandle window, const std::wstring& text) override {
        return inner_.SetWindowText(window, text);
    }
    bool EnableWindow(WindowHandle window, bool enable) override {
        return inner_.EnableWindow(window, enable);
    }
    bool IsWindowEnabled(WindowHandle window) override { return inner_.IsWindowEnabled(window); }
    bool IsIconic(WindowHandle window) override { return inner_.IsIconic(window); }
    WindowHandle SetFocus(WindowHandle window) override { return inner_.SetFocus(window); }
    WindowHandle GetFocus() override { return inner_.GetFocus(); }
    bool GetWindowRect(WindowHandle window, Rect* rect) override {
        return inner_.GetWindowRect(window, rect);
    }
    bool GetClientRect(WindowHandle window, Rect* rect) override {
        return inner_.GetClientRect(window, rect);
    }
    bool ScreenToClient(WindowHandle window, Rect* rect) override {
        return inner_.ScreenToClient(window, rect);
    }
    intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override {
        return inner_.SendMessage(window, message, wParam, lParam);
    }
    bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override {
        return inner_.PostMessage(window, message, wParam, lParam);
    }
    intptr_t StreamIn(WindowHandle richEdit, uint32_t format, uintptr_t cookie,
                      EditStreamCallback callback, uint32_t* error) override {
        return inner_.StreamIn(richEdit, format, cookie, callback, error);
    }
    int MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                   uint32_t flags) override {
        return inner_.MessageBox(owner, text, caption, flags);
    }
    std::wstring LoadString(int id) override { return inner_.LoadString(id); }
    IconHandle LoadIcon(int id) override { return inner_.LoadIcon(id); }
    FontHandle GetFont(WindowHandle window) override { return inner_.GetFont(window); }
    bool GetFontDescription(FontHandle font, FontDescription* description) override {
        return inner_.GetFontDescription(font, description);
    }
    FontHandle CreateFont(const FontDescription& description) override {
        return inner_.CreateFont(description);
    }
    bool DeleteFont(FontHandle font) override { return inner_.DeleteFont(font); }
    void SetFont(WindowHandle window, FontHandle font, bool redraw) override {
        inner_.SetFont(window, font, redraw);
    }
    BrushHandle GetStockBrush(StockBrush brush) override { return inner_.GetStockBrush(brush); }
    DcHandle BeginPaint(WindowHandle window) override { return inner_.BeginPaint(window); }
    void EndPaint(WindowHandle window) override { inner_.EndPaint(window); }
    bool FillRect(DcHandle dc, const Rect& rect, Color color) override {
        return inner_.FillRect(dc, rect, color);
    }
    void SetTransparentBackground(DcHandle dc) override { inner_.SetTransparentBackground(dc); }
    bool DrawIcon(DcHandle dc, int x, int y, IconHandle icon) override {
        return inner_.DrawIcon(dc, x, y, icon);
    }
    int GetSystemMetrics(int index) override { return inner_.GetSystemMetrics(index); }

protected:
    platform::Ui& inner_;
};

class ForwardingSystem : public platform::System {
public:
    explicit ForwardingSystem(platform::System& inner) : inner_(inner) {}
    bool GetVersion(OsVersion* version) override { return inner_.GetVersion(version); }
    Wow64Probe QueryWow64() override { return inner_.QueryWow64(); }
    bool GetSystemDirectory(std::wstring* path) override { return inner_.GetSystemDirectory(path); }
    bool GetWindowsDirectory(std::wstring* path) override {
        return inner_.GetWindowsDirectory(path);
    }
    int32_t CreateGuid(Guid* guid) override { return inner_.CreateGuid(guid); }
    uint32_t GetLastError() override { return inner_.GetLastError(); }
    void SetLastError(uint32_t error) override { inner_.SetLastError(error); }
    void Sleep(uint32_t milliseconds) override { inner_.Sleep(milliseconds); }
    void GetLocalTime(platform::SystemTime* time) override { inner_.GetLocalTime(time); }
    void SeedRand(uint32_t seed) override { inner_.SeedRand(seed); }
    int Rand() override { return inner_.Rand(); }
    bool SeedRandOnce(uint32_t seed) override { return inner_.SeedRandOnce(seed); }
    uint32_t RandomSeed() override { return inner_.RandomSeed(); }
    uint16_t GetUserDefaultUILanguage() override { return inner_.GetUserDefaultUILanguage(); }
    int32_t CoInitializeEx(uint32_t model) override { return inner_.CoInitializeEx(model); }
    KernelHandle CreateThread(ThreadProc proc, void* argument) override {
        return inner_.CreateThread(proc, argument);
    }
    uint32_t WaitForThread(KernelHandle thread, uint32_t milliseconds) override {
        return inner_.WaitForThread(thread, milliseconds);
    }
    bool CloseThread(KernelHandle thread) override { return inner_.CloseThread(thread); }
    bool RestrictDllSearchPath(DllSearchRestriction* way) override {
        return inner_.RestrictDllSearchPath(way);
    }

protected:
    platform::System& inner_;
};

class ForwardingVolumes : public platform::Volumes {
public:
    explicit ForwardingVolumes(platform::Volumes& inner) : inner_(inner) {}
    uint32_t GetDriveType(const std::wstring& root) override { return inner_.GetDriveType(root); }
    bool GetVolumeFileSystemName(const std::wstring& root, uint32_t bufferChars,
                                 std::wstring* fileSystem) override {
        return inner_.GetVolumeFileSystemName(root, bufferChars, fileSystem);
    }
    bool GetVolumeNameForVolumeMountPoint(const std::wstring& mountPoint, uint32_t bufferChars,
                                          std::wstring* name) override {
        return inner_.GetVolumeNameForVolumeMountPoint(mountPoint, bufferChars, name);
    }
    platform::VolumeFindHandle FindFirstVolume(std::wstring* name, uint32_t bufferChars) override {
        return inner_.FindFirstVolume(name, bufferChars);
    }
    bool FindNextVolume(platform::VolumeFindHandle find, std::wstring* name,
                        uint32_t bufferChars) override {
        return inner_.FindNextVolume(find, name, bufferChars);
    }
    bool FindVolumeClose(platform::VolumeFindHandle find) override {
        return inner_.FindVolumeClose(find);
    }
    bool DeviceIoControl(platform::FileHandle device, uint32_t code, const void* in,
                         uint32_t inSize, void* out, uint32_t outSize,
                         uint32_t* bytesReturned) override {
        return inner_.DeviceIoControl(device, code, in, inSize, out, outSize, bytesReturned);
    }
    bool BlockAddress32(const void* block, uint32_t size, uint32_t* address) override {
        return inner_.BlockAddress32(block, size, address);
    }

protected:
    platform::Volumes& inner_;
};

class ForwardingProcesses : public platform::Processes {
public:
    explicit ForwardingProcesses(platform::Processes& inner) : inner_(inner) {}
    KernelHandle CreateMutex(const std::wstring& name, bool initialOwner) override {
        return inner_.CreateMutex(name, initialOwner);
    }
    bool CloseHandle(KernelHandle handle) override { return inner_.CloseHandle(handle); }
    WindowHandle FindWindow(const std::wstring* className, const std::wstring& title) override {
        return inner_.FindWindow(className, title);
    }
    intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override {
        return inner_.SendMessage(window, message, wParam, lParam);
    }
    bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override {
        return inner_.PostMessage(window, message, wParam, lParam);
    }
    bool CreateProcess(const std::wstring* application, const std::wstring& commandLine,
                       const StartupOptions& startup, ProcessInfo* info) override {
        return inner_.CreateProcess(application, commandLine, startup, info);
    }
    uint32_t WaitForSingleObject(KernelHandle handle, uint32_t milliseconds) override {
        return inner_.WaitForSingleObject(handle, milliseconds);
    }
    bool GetExitCodeProcess(KernelHandle process, uint32_t* exitCode) override {
        return inner_.GetExitCodeProcess(process, exitCode);
    }
    ModuleHandle LoadLibrary(const std::wstring& path) override { return inner_.LoadLibrary(path); }
    ModuleHandle LoadLibraryEx(const std::wstring& path, uint32_t flags) override {
        return inner_.LoadLibraryEx(path, flags);
    }
    bool LibrarySearchFlagsAvailable() override { return inner_.LibrarySearchFlagsAvailable(); }
    ProcAddress GetProcAddress(ModuleHandle module, const std::string& name) override {
        return inner_.GetProcAddress(module, name);
    }
    int32_t CallNoArgumentProc(ProcAddress proc) override {
        return inner_.CallNoArgumentProc(proc);
    }
    bool FreeLibrary(ModuleHandle module) override { return inner_.FreeLibrary(module); }
    bool OpenProcessToken(uint32_t access, KernelHandle* token) override {
        return inner_.OpenProcessToken(access, token);
    }
    bool LookupPrivilegeValue(const std::wstring& name, Luid* luid) override {
        return inner_.LookupPrivilegeValue(name, luid);
    }
    bool AdjustTokenPrivilege(KernelHandle token, const Luid& luid, uint32_t attributes) override {
        return inner_.AdjustTokenPrivilege(token, luid, attributes);
    }
    bool ExitWindowsEx(uint32_t flags, uint32_t reason) override {
        return inner_.ExitWindowsEx(flags, reason);
    }

protected:
    platform::Processes& inner_;
};

}  // namespace flowtest
