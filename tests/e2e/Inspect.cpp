// Reads back, through the Windows API, what the e2e runs cannot read from the Wine prefix's
// files themselves: shell links as the shell sees them and files' attributes. One line per
// item on standard output, UTF-8, fields separated by tabs:
//
//   e2e_inspect.exe link PATH...
//       link <TAB> PATH <TAB> target <TAB> working folder <TAB> arguments <TAB> show command
//            <TAB> description <TAB> icon location <TAB> icon index
//       or: link <TAB> PATH <TAB> error <TAB> 0x<HRESULT> (not loadable as a shell link)
//   e2e_inspect.exe attributes PATH...
//       attributes <TAB> PATH <TAB> 0x<attributes>   or   attributes <TAB> PATH <TAB> missing
//   e2e_inspect.exe volume LETTER...
//       volume <TAB> LETTER <TAB> geometry <cylinders> <tracks> <sectors> <bytes per sector>
//              <TAB> partition <length> (or: partition error <code>)
//       or: volume <TAB> LETTER <TAB> error <code>
//       what the volume \\.\LETTER: answers to the disk requests (the marker's size
//       derives from them)
//
// A link is loaded with IPersistFile::Load and read with IShellLinkW, the interfaces setup
// writes it with. Exit code 0; 2 for a bad command line, 3 when COM cannot start.
#include <windows.h>
// After <windows.h>, which they need.
#include <objbase.h>
#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <winioctl.h>

#include <cstdio>
#include <string>

#include "base/Text.h"

namespace {

void Print(const std::wstring& line) {
    const std::string bytes = base::ToUtf8(line) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

std::wstring Hex(unsigned long value) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lx", value);
    return text;
}

// Tabs and line breaks in a field would break the line's format; none is expected.
std::wstring Field(const wchar_t* text) {
    std::wstring s = text;
    for (wchar_t& c : s) {
        if (c == L'\t' || c == L'\r' || c == L'\n') {
            c = L' ';
        }
    }
    return s;
}

void ReadLink(const wchar_t* path) {
    const std::wstring head = std::wstring(L"link\t") + path + L"\t";
    IShellLinkW* link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link));
    if (FAILED(hr)) {
        Print(head + L"error\t" + Hex(static_cast<unsigned long>(hr)));
        return;
    }
    IPersistFile* file = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr)) {
        hr = file->Load(path, STGM_READ);
        file->Release();
    }
    if (FAILED(hr)) {
        link->Release();
        Print(head + L"error\t" + Hex(static_cast<unsigned long>(hr)));
        return;
    }
    wchar_t target[MAX_PATH] = {};
    wchar_t folder[MAX_PATH] = {};
    wchar_t arguments[1024] = {};
    wchar_t description[1024] = {};
    wchar_t icon[MAX_PATH] = {};
    int iconIndex = 0;
    int show = 0;
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(folder, MAX_PATH);
    link->GetArguments(arguments, 1024);
    link->GetShowCmd(&show);
    link->GetDescription(description, 1024);
    link->GetIconLocation(icon, MAX_PATH, &iconIndex);
    link->Release();
    Print(head + Field(target) + L"\t" + Field(folder) + L"\t" + Field(arguments) + L"\t" +
          std::to_wstring(show) + L"\t" + Field(description) + L"\t" + Field(icon) + L"\t" +
          std::to_wstring(iconIndex));
}

void ReadAttributes(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    Print(std::wstring(L"attributes\t") + path + L"\t" +
          (attributes == INVALID_FILE_ATTRIBUTES ? std::wstring(L"missing") : Hex(attributes)));
}

void ReadVolume(const wchar_t* letter) {
    const std::wstring head = std::wstring(L"volume\t") + letter + L"\t";
    const std::wstring device = std::wstring(L"\\\\.\\") + letter + L":";
    HANDLE volume = CreateFileW(device.c_str(), FILE_READ_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE) {
        Print(head + L"error " + std::to_wstring(GetLastError()));
        return;
    }
    DISK_GEOMETRY geometry = {};
    DWORD returned = 0;
    std::wstring line = head;
    if (DeviceIoControl(volume, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                        sizeof(geometry), &returned, nullptr)) {
        line += L"geometry " + std::to_wstring(geometry.Cylinders.QuadPart) + L" " +
                std::to_wstring(geometry.TracksPerCylinder) + L" " +
                std::to_wstring(geometry.SectorsPerTrack) + L" " +
                std::to_wstring(geometry.BytesPerSector);
    } else {
        line += L"geometry error " + std::to_wstring(GetLastError());
    }
    PARTITION_INFORMATION partition = {};
    if (DeviceIoControl(volume, IOCTL_DISK_GET_PARTITION_INFO, nullptr, 0, &partition,
                        sizeof(partition), &returned, nullptr)) {
        line += L"\tpartition " + std::to_wstring(partition.PartitionLength.QuadPart);
    } else {
        line += L"\tpartition error " + std::to_wstring(GetLastError());
    }
    CloseHandle(volume);
    Print(line);
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2) {
        std::fprintf(stderr, "usage: e2e_inspect.exe link|attributes|volume ITEM...\n");
        return 2;
    }
    const std::wstring command = argv[1];
    if (command == L"attributes") {
        for (int i = 2; i < argc; ++i) {
            ReadAttributes(argv[i]);
        }
        return 0;
    }
    if (command == L"volume") {
        for (int i = 2; i < argc; ++i) {
            ReadVolume(argv[i]);
        }
        return 0;
    }
    if (command != L"link") {
        std::fprintf(stderr, "e2e_inspect.exe: unknown command\n");
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 3;
    }
    for (int i = 2; i < argc; ++i) {
        ReadLink(argv[i]);
    }
    CoUninitialize();
    return 0;
}
