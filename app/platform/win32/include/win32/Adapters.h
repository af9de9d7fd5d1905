// The Win32 adapters of the ports, one class per port. Each method calls the Win32
// function its port documents and only converts between the port's types and the API's;
// Win32Platform.cpp bundles one instance of each. This header does not include
// <windows.h>, so Windows test programs may construct the adapters directly.
#pragma once

#include "platform/Platform.h"

namespace win32 {

using platform::BrushHandle;
using platform::Color;
using platform::DcHandle;
using platform::DialogProcedure;
using platform::DllSearchRestriction;
using platform::EditStreamCallback;
using platform::FileHandle;
using platform::FileInformation;
using platform::FindData;
using platform::FindHandle;
using platform::FontDescription;
using platform::FontHandle;
using platform::Guid;
using platform::Hive;
using platform::HotfixEnumerator;
using platform::HotfixId;
using platform::IconHandle;
using platform::KernelHandle;
using platform::KeyHandle;
using platform::Luid;
using platform::ModuleHandle;
using platform::OsVersion;
using platform::ProcAddress;
using platform::ProcessInfo;
using platform::Rect;
using platform::ShellLink;
using platform::ShellLinkInfo;
using platform::StartupOptions;
using platform::StockBrush;
using platform::SystemTime;
using platform::ThreadProc;
using platform::VolumeFindHandle;
using platform::WindowHandle;
using platform::WindowRelation;
using platform::WmiNext;
using platform::WmiStage;
using platform::Wow64Probe;

class Win32Registry final : public platform::Registry {
public:
    uint32_t GetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                      uint32_t* type, void* data, uint32_t* size) override;
    uint32_t SetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                      uint32_t type, const void* data, uint32_t size) override;
    uint32_t OpenKey(Hive hive, const std::wstring& subKey, uint32_t access,
                     KeyHandle* key) override;
    uint32_t QueryValue(KeyHandle key, const std::wstring& value, uint32_t* type, void* data,
                        uint32_t* size) override;
    uint32_t SetKeyValue(KeyHandle key, const std::wstring& value, uint32_t type, const void* data,
                         uint32_t size) override;
    uint32_t CloseKey(KeyHandle key) override;
    uint32_t DeleteValue(Hive hive, const std::wstring& subKey, const std::wstring& value) override;
    uint32_t DeleteKeyTree(Hive hive, const std::wstring& subKey) override;
};

class Win32Files final : public platform::Files {
public:
    bool CopyFile(const std::wstring& source, const std::wstring& destination,
                  bool failIfExists) override;
    bool MoveFile(const std::wstring& source, const std::wstring& destination) override;
    bool MoveFileEx(const std::wstring& source, const std::wstring* destination,
                    uint32_t flags) override;
    bool DeleteFile(const std::wstring& path) override;
    uint32_t GetFileAttributes(const std::wstring& path) override;
    bool SetFileAttributes(const std::wstring& path, uint32_t attributes) override;
    bool CreateDirectory(const std::wstring& path) override;
    bool RemoveDirectory(const std::wstring& path) override;
    FindHandle FindFirstFile(const std::wstring& pattern, FindData* data) override;
    bool FindNextFile(FindHandle find, FindData* data) override;
    bool FindClose(FindHandle find) override;
    uint32_t GetTempFileName(const std::wstring& folder, const std::wstring& prefix,
                             std::wstring* path) override;
    bool GetModuleFileName(std::wstring* path) override;
    FileHandle CreateFile(const std::wstring& path, uint32_t access, uint32_t share,
                          uint32_t disposition, uint32_t flagsAndAttributes) override;
    bool CloseHandle(FileHandle file) override;
    bool ReadFile(FileHandle file, void* buffer, uint32_t toRead, uint32_t* read) override;
    bool WriteFile(FileHandle file, const void* buffer, uint32_t toWrite,
                   uint32_t* written) override;
    bool SetFilePointer(FileHandle file, int64_t distance, uint32_t method,
                        int64_t* newPosition) override;
    bool SetEndOfFile(FileHandle file) override;
    bool GetFileSize(FileHandle file, uint64_t* size) override;
    bool GetFileInformationByHandle(FileHandle file, FileInformation* information) override;
    bool CreateHardLink(const std::wstring& newName, const std::wstring& existing) override;
    bool CreateSymbolicLink(const std::wstring& link, const std::wstring& target,
                            bool directory) override;
    uint32_t GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, std::wstring* value,
                                     uint32_t bufferChars, const std::wstring& file) override;
    uint32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                                  int32_t defaultValue, const std::wstring& file) override;
    bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& value, const std::wstring& file) override;
};

class Win32Volumes final : public platform::Volumes {
public:
    uint32_t GetDriveType(const std::wstring& root) override;
    bool GetVolumeFileSystemName(const std::wstring& root, uint32_t bufferChars,
                                 std::wstring* fileSystem) override;
    bool GetVolumeNameForVolumeMountPoint(const std::wstring& mountPoint, uint32_t bufferChars,
                                          std::wstring* name) override;
    VolumeFindHandle FindFirstVolume(std::wstring* name, uint32_t bufferChars) override;
    bool FindNextVolume(VolumeFindHandle find, std::wstring* name, uint32_t bufferChars) override;
    bool FindVolumeClose(VolumeFindHandle find) override;
    bool DeviceIoControl(FileHandle device, uint32_t code, const void* in, uint32_t inSize,
                         void* out, uint32_t outSize, uint32_t* bytesReturned) override;
    bool BlockAddress32(const void* block, uint32_t size, uint32_t* address) override;
};

class Win32Shell final : public platform::Shell {
public:
    bool GetSpecialFolderPath(int csidl, bool create, std::wstring* path) override;
    int32_t GetFolderPath(int csidlAndFlags, std::wstring* path) override;
    int32_t CreateShellLink(std::unique_ptr<ShellLink>* link) override;
    bool ReadShellLink(const std::wstring& linkPath, ShellLinkInfo* info) override;
    void ChangeNotify(int32_t eventId, uint32_t flags) override;
    std::wstring GetCommandLine() override;
    bool CommandLineToArgv(const std::wstring& commandLine,
                           std::vector<std::wstring>* args) override;
};

class Win32System final : public platform::System {
public:
    bool GetVersion(OsVersion* version) override;
    Wow64Probe QueryWow64() override;
    bool GetSystemDirectory(std::wstring* path) override;
    bool GetWindowsDirectory(std::wstring* path) override;
    int32_t CreateGuid(Guid* guid) override;
    uint32_t GetLastError() override;
    void SetLastError(uint32_t error) override;
    void Sleep(uint32_t milliseconds) override;
    void GetLocalTime(SystemTime* time) override;
    void SeedRand(uint32_t seed) override;
    int Rand() override;
    bool SeedRandOnce(uint32_t seed) override;
    uint32_t RandomSeed() override;
    uint16_t GetUserDefaultUILanguage() override;
    uint32_t SetErrorMode(uint32_t mode) override;
    int32_t CoInitializeEx(uint32_t model) override;
    KernelHandle CreateThread(ThreadProc proc, void* argument) override;
    uint32_t WaitForThread(KernelHandle thread, uint32_t milliseconds) override;
    bool CloseThread(KernelHandle thread) override;
    bool RestrictDllSearchPath(DllSearchRestriction* way) override;
};

class Win32Processes final : public platform::Processes {
public:
    KernelHandle CreateMutex(const std::wstring& name, bool initialOwner) override;
    bool CloseHandle(KernelHandle handle) override;
    WindowHandle FindWindow(const std::wstring* className, const std::wstring& title) override;
    intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override;
    bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override;
    bool CreateProcess(const std::wstring* application, const std::wstring& commandLine,
                       const StartupOptions& startup, ProcessInfo* info) override;
    uint32_t WaitForSingleObject(KernelHandle handle, uint32_t milliseconds) override;
    bool GetExitCodeProcess(KernelHandle process, uint32_t* exitCode) override;
    ModuleHandle LoadLibrary(const std::wstring& path) override;
    ModuleHandle LoadLibraryEx(const std::wstring& path, uint32_t flags) override;
    bool LibrarySearchFlagsAvailable() override;
    ProcAddress GetProcAddress(ModuleHandle module, const std::string& name) override;
    int32_t CallNoArgumentProc(ProcAddress proc) override;
    bool FreeLibrary(ModuleHandle module) override;
    bool OpenProcessToken(uint32_t access, KernelHandle* token) override;
    bool LookupPrivilegeValue(const std::wstring& name, Luid* luid) override;
    bool AdjustTokenPrivilege(KernelHandle token, const Luid& luid, uint32_t attributes) override;
    bool ExitWindowsEx(uint32_t flags, uint32_t reason) override;
};

class Win32Wmi final : public platform::Wmi {
public:
    int32_t QueryHotfixes(WmiStage* failedStage,
                          std::unique_ptr<HotfixEnumerator>* results) override;
};

class Win32Ui final : public platform::Ui {
public:
    bool InitCommonControls(uint32_t size, uint32_t classes) override;
    intptr_t DialogBox(int templateId, DialogProcedure* procedure) override;
    bool EndDialog(WindowHandle dialog, intptr_t result) override;
    WindowHandle GetDlgItem(WindowHandle dialog, int id) override;
    int GetDlgCtrlID(WindowHandle window) override;
    WindowHandle GetWindow(WindowHandle window, WindowRelation relation) override;
    WindowHandle GetParent(WindowHandle window) override;
    std::wstring GetClassName(WindowHandle window, int bufferChars) override;
    std::wstring GetWindowText(WindowHandle window) override;
    bool SetWindowText(WindowHandle window, const std::wstring& text) override;
    // True when the window exists and took the new state (not EnableWindow's own result,
    // which tells whether the window was disabled before); false with
    // ERROR_INVALID_WINDOW_HANDLE otherwise.
    bool EnableWindow(WindowHandle window, bool enable) override;
    bool IsWindowEnabled(WindowHandle window) override;
    bool IsIconic(WindowHandle window) override;
    WindowHandle SetFocus(WindowHandle window) override;
    WindowHandle GetFocus() override;
    bool GetWindowRect(WindowHandle window, Rect* rect) override;
    bool GetClientRect(WindowHandle window, Rect* rect) override;
    bool ScreenToClient(WindowHandle window, Rect* rect) override;
    intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override;
    bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override;
    intptr_t StreamIn(WindowHandle richEdit, uint32_t format, uintptr_t cookie,
                      EditStreamCallback callback, uint32_t* error) override;
    int MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                   uint32_t flags) override;
    std::wstring LoadString(int id) override;
    IconHandle LoadIcon(int id) override;
    FontHandle GetFont(WindowHandle window) override;
    bool GetFontDescription(FontHandle font, FontDescription* description) override;
    FontHandle CreateFont(const FontDescription& description) override;
    bool DeleteFont(FontHandle font) override;
    void SetFont(WindowHandle window, FontHandle font, bool redraw) override;
    BrushHandle GetStockBrush(StockBrush brush) override;
    DcHandle BeginPaint(WindowHandle window) override;
    void EndPaint(WindowHandle window) override;
    bool FillRect(DcHandle dc, const Rect& rect, Color color) override;
    void SetTransparentBackground(DcHandle dc) override;
    bool DrawIcon(DcHandle dc, int x, int y, IconHandle icon) override;
    int GetSystemMetrics(int index) override;
    bool IsAppThemed() override;
};

}  // namespace win32
