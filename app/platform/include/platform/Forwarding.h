// Decorators of the ports that forward every call to another implementation of the same
// port. A decorator derives from one and overrides only the calls it has something to add
// to: the install log's recording layer (Setup/flow/LoggedPorts), the log's giving way to
// the installation (Setup/flow/LogGivesWay), the tests' ports that watch or answer
// particular calls and the fault sweep's layer that fails or stops any call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace platform {

class ForwardingUi : public platform::Ui {
public:
    explicit ForwardingUi(platform::Ui& inner) : m_inner(inner) {}
    bool InitCommonControls(uint32_t size, uint32_t classes) override {
        return m_inner.InitCommonControls(size, classes);
    }
    intptr_t DialogBox(int templateId, DialogProcedure* procedure) override {
        return m_inner.DialogBox(templateId, procedure);
    }
    bool EndDialog(WindowHandle dialog, intptr_t result) override {
        return m_inner.EndDialog(dialog, result);
    }
    WindowHandle GetDlgItem(WindowHandle dialog, int id) override {
        return m_inner.GetDlgItem(dialog, id);
    }
    int GetDlgCtrlID(WindowHandle window) override { return m_inner.GetDlgCtrlID(window); }
    WindowHandle GetWindow(WindowHandle window, WindowRelation relation) override {
        return m_inner.GetWindow(window, relation);
    }
    WindowHandle GetParent(WindowHandle window) override { return m_inner.GetParent(window); }
    std::wstring GetClassName(WindowHandle window, int bufferChars) override {
        return m_inner.GetClassName(window, bufferChars);
    }
    std::wstring GetWindowText(WindowHandle window) override {
        return m_inner.GetWindowText(window);
    }
    bool SetWindowText(WindowHandle window, const std::wstring& text) override {
        return m_inner.SetWindowText(window, text);
    }
    bool EnableWindow(WindowHandle window, bool enable) override {
        return m_inner.EnableWindow(window, enable);
    }
    bool IsWindowEnabled(WindowHandle window) override { return m_inner.IsWindowEnabled(window); }
    bool IsIconic(WindowHandle window) override { return m_inner.IsIconic(window); }
    WindowHandle SetFocus(WindowHandle window) override { return m_inner.SetFocus(window); }
    WindowHandle GetFocus() override { return m_inner.GetFocus(); }
    bool GetWindowRect(WindowHandle window, Rect* rect) override {
        return m_inner.GetWindowRect(window, rect);
    }
    bool GetClientRect(WindowHandle window, Rect* rect) override {
        return m_inner.GetClientRect(window, rect);
    }
    bool ScreenToClient(WindowHandle window, Rect* rect) override {
        return m_inner.ScreenToClient(window, rect);
    }
    intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override {
        return m_inner.SendMessage(window, message, wParam, lParam);
    }
    bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override {
        return m_inner.PostMessage(window, message, wParam, lParam);
    }
    intptr_t StreamIn(WindowHandle richEdit, uint32_t format, uintptr_t cookie,
                      EditStreamCallback callback, uint32_t* error) override {
        return m_inner.StreamIn(richEdit, format, cookie, callback, error);
    }
    int MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                   uint32_t flags) override {
        return m_inner.MessageBox(owner, text, caption, flags);
    }
    std::wstring LoadString(int id) override { return m_inner.LoadString(id); }
    IconHandle LoadIcon(int id) override { return m_inner.LoadIcon(id); }
    FontHandle GetFont(WindowHandle window) override { return m_inner.GetFont(window); }
    bool GetFontDescription(FontHandle font, FontDescription* description) override {
        return m_inner.GetFontDescription(font, description);
    }
    FontHandle CreateFont(const FontDescription& description) override {
        return m_inner.CreateFont(description);
    }
    bool DeleteFont(FontHandle font) override { return m_inner.DeleteFont(font); }
    void SetFont(WindowHandle window, FontHandle font, bool redraw) override {
        m_inner.SetFont(window, font, redraw);
    }
    BrushHandle GetStockBrush(StockBrush brush) override { return m_inner.GetStockBrush(brush); }
    DcHandle BeginPaint(WindowHandle window) override { return m_inner.BeginPaint(window); }
    void EndPaint(WindowHandle window) override { m_inner.EndPaint(window); }
    bool FillRect(DcHandle dc, const Rect& rect, Color color) override {
        return m_inner.FillRect(dc, rect, color);
    }
    void SetTransparentBackground(DcHandle dc) override { m_inner.SetTransparentBackground(dc); }
    bool DrawIcon(DcHandle dc, int x, int y, IconHandle icon) override {
        return m_inner.DrawIcon(dc, x, y, icon);
    }
    int GetSystemMetrics(int index) override { return m_inner.GetSystemMetrics(index); }
    bool IsAppThemed() override { return m_inner.IsAppThemed(); }

protected:
    platform::Ui& m_inner;
};

class ForwardingFiles : public platform::Files {
public:
    explicit ForwardingFiles(platform::Files& inner) : m_inner(inner) {}
    bool CopyFile(const std::wstring& source, const std::wstring& destination,
                  bool failIfExists) override {
        return m_inner.CopyFile(source, destination, failIfExists);
    }
    bool MoveFile(const std::wstring& source, const std::wstring& destination) override {
        return m_inner.MoveFile(source, destination);
    }
    bool MoveFileEx(const std::wstring& source, const std::wstring* destination,
                    uint32_t flags) override {
        return m_inner.MoveFileEx(source, destination, flags);
    }
    bool DeleteFile(const std::wstring& path) override { return m_inner.DeleteFile(path); }
    uint32_t GetFileAttributes(const std::wstring& path) override {
        return m_inner.GetFileAttributes(path);
    }
    bool SetFileAttributes(const std::wstring& path, uint32_t attributes) override {
        return m_inner.SetFileAttributes(path, attributes);
    }
    bool CreateDirectory(const std::wstring& path) override {
        return m_inner.CreateDirectory(path);
    }
    bool RemoveDirectory(const std::wstring& path) override {
        return m_inner.RemoveDirectory(path);
    }
    FindHandle FindFirstFile(const std::wstring& pattern, FindData* data) override {
        return m_inner.FindFirstFile(pattern, data);
    }
    bool FindNextFile(FindHandle find, FindData* data) override {
        return m_inner.FindNextFile(find, data);
    }
    bool FindClose(FindHandle find) override { return m_inner.FindClose(find); }
    uint32_t GetTempFileName(const std::wstring& folder, const std::wstring& prefix,
                             std::wstring* path) override {
        return m_inner.GetTempFileName(folder, prefix, path);
    }
    bool GetModuleFileName(std::wstring* path) override { return m_inner.GetModuleFileName(path); }
    FileHandle CreateFile(const std::wstring& path, uint32_t access, uint32_t share,
                          uint32_t disposition, uint32_t flagsAndAttributes) override {
        return m_inner.CreateFile(path, access, share, disposition, flagsAndAttributes);
    }
    bool CloseHandle(FileHandle file) override { return m_inner.CloseHandle(file); }
    bool ReadFile(FileHandle file, void* buffer, uint32_t toRead, uint32_t* read) override {
        return m_inner.ReadFile(file, buffer, toRead, read);
    }
    bool WriteFile(FileHandle file, const void* buffer, uint32_t toWrite,
                   uint32_t* written) override {
        return m_inner.WriteFile(file, buffer, toWrite, written);
    }
    bool SetFilePointer(FileHandle file, int64_t distance, uint32_t method,
                        int64_t* newPosition) override {
        return m_inner.SetFilePointer(file, distance, method, newPosition);
    }
    bool SetEndOfFile(FileHandle file) override { return m_inner.SetEndOfFile(file); }
    bool GetFileSize(FileHandle file, uint64_t* size) override {
        return m_inner.GetFileSize(file, size);
    }
    bool GetFileInformationByHandle(FileHandle file, FileInformation* information) override {
        return m_inner.GetFileInformationByHandle(file, information);
    }
    bool CreateHardLink(const std::wstring& newName, const std::wstring& existing) override {
        return m_inner.CreateHardLink(newName, existing);
    }
    bool CreateSymbolicLink(const std::wstring& link, const std::wstring& target,
                            bool directory) override {
        return m_inner.CreateSymbolicLink(link, target, directory);
    }
    uint32_t GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, std::wstring* value,
                                     uint32_t bufferChars, const std::wstring& file) override {
        return m_inner.GetPrivateProfileString(section, key, defaultValue, value, bufferChars,
                                               file);
    }
    uint32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                                  int32_t defaultValue, const std::wstring& file) override {
        return m_inner.GetPrivateProfileInt(section, key, defaultValue, file);
    }
    bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& value, const std::wstring& file) override {
        return m_inner.WritePrivateProfileString(section, key, value, file);
    }

protected:
    platform::Files& m_inner;
};

class ForwardingSystem : public platform::System {
public:
    explicit ForwardingSystem(platform::System& inner) : m_inner(inner) {}
    bool GetVersion(OsVersion* version) override { return m_inner.GetVersion(version); }
    Wow64Probe QueryWow64() override { return m_inner.QueryWow64(); }
    bool GetSystemDirectory(std::wstring* path) override {
        return m_inner.GetSystemDirectory(path);
    }
    bool GetWindowsDirectory(std::wstring* path) override {
        return m_inner.GetWindowsDirectory(path);
    }
    int32_t CreateGuid(Guid* guid) override { return m_inner.CreateGuid(guid); }
    uint32_t GetLastError() override { return m_inner.GetLastError(); }
    void SetLastError(uint32_t error) override { m_inner.SetLastError(error); }
    void Sleep(uint32_t milliseconds) override { m_inner.Sleep(milliseconds); }
    void GetLocalTime(platform::SystemTime* time) override { m_inner.GetLocalTime(time); }
    void SeedRand(uint32_t seed) override { m_inner.SeedRand(seed); }
    int Rand() override { return m_inner.Rand(); }
    bool SeedRandOnce(uint32_t seed) override { return m_inner.SeedRandOnce(seed); }
    uint32_t RandomSeed() override { return m_inner.RandomSeed(); }
    uint16_t GetUserDefaultUILanguage() override { return m_inner.GetUserDefaultUILanguage(); }
    uint32_t SetErrorMode(uint32_t mode) override { return m_inner.SetErrorMode(mode); }
    int32_t CoInitializeEx(uint32_t model) override { return m_inner.CoInitializeEx(model); }
    KernelHandle CreateThread(ThreadProc proc, void* argument) override {
        return m_inner.CreateThread(proc, argument);
    }
    uint32_t WaitForThread(KernelHandle thread, uint32_t milliseconds) override {
        return m_inner.WaitForThread(thread, milliseconds);
    }
    bool CloseThread(KernelHandle thread) override { return m_inner.CloseThread(thread); }
    bool RestrictDllSearchPath(DllSearchRestriction* way) override {
        return m_inner.RestrictDllSearchPath(way);
    }

protected:
    platform::System& m_inner;
};

class ForwardingVolumes : public platform::Volumes {
public:
    explicit ForwardingVolumes(platform::Volumes& inner) : m_inner(inner) {}
    uint32_t GetDriveType(const std::wstring& root) override { return m_inner.GetDriveType(root); }
    bool GetVolumeFileSystemName(const std::wstring& root, uint32_t bufferChars,
                                 std::wstring* fileSystem) override {
        return m_inner.GetVolumeFileSystemName(root, bufferChars, fileSystem);
    }
    bool GetVolumeNameForVolumeMountPoint(const std::wstring& mountPoint, uint32_t bufferChars,
                                          std::wstring* name) override {
        return m_inner.GetVolumeNameForVolumeMountPoint(mountPoint, bufferChars, name);
    }
    platform::VolumeFindHandle FindFirstVolume(std::wstring* name, uint32_t bufferChars) override {
        return m_inner.FindFirstVolume(name, bufferChars);
    }
    bool FindNextVolume(platform::VolumeFindHandle find, std::wstring* name,
                        uint32_t bufferChars) override {
        return m_inner.FindNextVolume(find, name, bufferChars);
    }
    bool FindVolumeClose(platform::VolumeFindHandle find) override {
        return m_inner.FindVolumeClose(find);
    }
    bool DeviceIoControl(platform::FileHandle device, uint32_t code, const void* in,
                         uint32_t inSize, void* out, uint32_t outSize,
                         uint32_t* bytesReturned) override {
        return m_inner.DeviceIoControl(device, code, in, inSize, out, outSize, bytesReturned);
    }
    bool BlockAddress32(const void* block, uint32_t size, uint32_t* address) override {
        return m_inner.BlockAddress32(block, size, address);
    }

protected:
    platform::Volumes& m_inner;
};

class ForwardingProcesses : public platform::Processes {
public:
    explicit ForwardingProcesses(platform::Processes& inner) : m_inner(inner) {}
    KernelHandle CreateMutex(const std::wstring& name, bool initialOwner) override {
        return m_inner.CreateMutex(name, initialOwner);
    }
    bool CloseHandle(KernelHandle handle) override { return m_inner.CloseHandle(handle); }
    WindowHandle FindWindow(const std::wstring* className, const std::wstring& title) override {
        return m_inner.FindWindow(className, title);
    }
    intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override {
        return m_inner.SendMessage(window, message, wParam, lParam);
    }
    bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override {
        return m_inner.PostMessage(window, message, wParam, lParam);
    }
    bool CreateProcess(const std::wstring* application, const std::wstring& commandLine,
                       const StartupOptions& startup, ProcessInfo* info) override {
        return m_inner.CreateProcess(application, commandLine, startup, info);
    }
    uint32_t WaitForSingleObject(KernelHandle handle, uint32_t milliseconds) override {
        return m_inner.WaitForSingleObject(handle, milliseconds);
    }
    bool GetExitCodeProcess(KernelHandle process, uint32_t* exitCode) override {
        return m_inner.GetExitCodeProcess(process, exitCode);
    }
    ModuleHandle LoadLibrary(const std::wstring& path) override {
        return m_inner.LoadLibrary(path);
    }
    ModuleHandle LoadLibraryEx(const std::wstring& path, uint32_t flags) override {
        return m_inner.LoadLibraryEx(path, flags);
    }
    bool LibrarySearchFlagsAvailable() override { return m_inner.LibrarySearchFlagsAvailable(); }
    ProcAddress GetProcAddress(ModuleHandle module, const std::string& name) override {
        return m_inner.GetProcAddress(module, name);
    }
    int32_t CallNoArgumentProc(ProcAddress proc) override {
        return m_inner.CallNoArgumentProc(proc);
    }
    bool FreeLibrary(ModuleHandle module) override { return m_inner.FreeLibrary(module); }
    bool OpenProcessToken(uint32_t access, KernelHandle* token) override {
        return m_inner.OpenProcessToken(access, token);
    }
    bool LookupPrivilegeValue(const std::wstring& name, Luid* luid) override {
        return m_inner.LookupPrivilegeValue(name, luid);
    }
    bool AdjustTokenPrivilege(KernelHandle token, const Luid& luid, uint32_t attributes) override {
        return m_inner.AdjustTokenPrivilege(token, luid, attributes);
    }
    bool ExitWindowsEx(uint32_t flags, uint32_t reason) override {
        return m_inner.ExitWindowsEx(flags, reason);
    }

protected:
    platform::Processes& m_inner;
};

class ForwardingRegistry : public platform::Registry {
public:
    explicit ForwardingRegistry(platform::Registry& inner) : m_inner(inner) {}
    uint32_t GetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                      uint32_t* type, void* data, uint32_t* size) override {
        return m_inner.GetValue(hive, subKey, value, type, data, size);
    }
    uint32_t SetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                      uint32_t type, const void* data, uint32_t size) override {
        return m_inner.SetValue(hive, subKey, value, type, data, size);
    }
    uint32_t OpenKey(Hive hive, const std::wstring& subKey, uint32_t access,
                     KeyHandle* key) override {
        return m_inner.OpenKey(hive, subKey, access, key);
    }
    uint32_t QueryValue(KeyHandle key, const std::wstring& value, uint32_t* type, void* data,
                        uint32_t* size) override {
        return m_inner.QueryValue(key, value, type, data, size);
    }
    uint32_t SetKeyValue(KeyHandle key, const std::wstring& value, uint32_t type, const void* data,
                         uint32_t size) override {
        return m_inner.SetKeyValue(key, value, type, data, size);
    }
    uint32_t CloseKey(KeyHandle key) override { return m_inner.CloseKey(key); }
    uint32_t DeleteValue(Hive hive, const std::wstring& subKey,
                         const std::wstring& value) override {
        return m_inner.DeleteValue(hive, subKey, value);
    }
    uint32_t DeleteKeyTree(Hive hive, const std::wstring& subKey) override {
        return m_inner.DeleteKeyTree(hive, subKey);
    }

protected:
    platform::Registry& m_inner;
};

class ForwardingShell : public platform::Shell {
public:
    explicit ForwardingShell(platform::Shell& inner) : m_inner(inner) {}
    bool GetSpecialFolderPath(int csidl, bool create, std::wstring* path) override {
        return m_inner.GetSpecialFolderPath(csidl, create, path);
    }
    int32_t GetFolderPath(int csidlAndFlags, std::wstring* path) override {
        return m_inner.GetFolderPath(csidlAndFlags, path);
    }
    int32_t CreateShellLink(std::unique_ptr<ShellLink>* link) override {
        return m_inner.CreateShellLink(link);
    }
    bool ReadShellLink(const std::wstring& linkPath, ShellLinkInfo* info) override {
        return m_inner.ReadShellLink(linkPath, info);
    }
    void ChangeNotify(int32_t eventId, uint32_t flags) override {
        m_inner.ChangeNotify(eventId, flags);
    }
    std::wstring GetCommandLine() override { return m_inner.GetCommandLine(); }
    bool CommandLineToArgv(const std::wstring& commandLine,
                           std::vector<std::wstring>* args) override {
        return m_inner.CommandLineToArgv(commandLine, args);
    }

protected:
    platform::Shell& m_inner;
};

class ForwardingWmi : public platform::Wmi {
public:
    explicit ForwardingWmi(platform::Wmi& inner) : m_inner(inner) {}
    int32_t QueryHotfixes(WmiStage* failedStage,
                          std::unique_ptr<HotfixEnumerator>* results) override {
        return m_inner.QueryHotfixes(failedStage, results);
    }

protected:
    platform::Wmi& m_inner;
};

}  // namespace platform
