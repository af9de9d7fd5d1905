// Shell adapter: special folders, shell links (IShellLinkW + IPersistFile), change
// notification and command-line splitting. The COM calls need COM initialised on the
// calling thread; without it they fail with the HRESULT COM gives (CO_E_NOTINITIALIZED).
#include "win32/Win32Util.h"

#include <new>
#include <utility>
#include <vector>

#include "win32/Adapters.h"

namespace win32 {

namespace {

// Room for every string a link holds: a path of the longest form Windows knows, and
// arguments up to the longest command line.
constexpr int kLinkTextChars = 32768;

class Win32ShellLink final : public ShellLink {
public:
    explicit Win32ShellLink(IShellLinkW* link) : link_(link) {}
    ~Win32ShellLink() override { link_->Release(); }
    Win32ShellLink(const Win32ShellLink&) = delete;
    Win32ShellLink& operator=(const Win32ShellLink&) = delete;

    int32_t SetPath(const std::wstring& target) override { return link_->SetPath(target.c_str()); }
    int32_t SetWorkingDirectory(const std::wstring& folder) override {
        return link_->SetWorkingDirectory(folder.c_str());
    }
    int32_t SetShowCmd(int showCmd) override { return link_->SetShowCmd(showCmd); }
    int32_t SetArguments(const std::wstring& arguments) override {
        return link_->SetArguments(arguments.c_str());
    }
    int32_t Save(const std::wstring& linkPath, bool remember) override {
        IPersistFile* file = nullptr;
        HRESULT hr = link_->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        if (FAILED(hr)) {
            return hr;
        }
        hr = file->Save(linkPath.c_str(), remember ? TRUE : FALSE);
        file->Release();
        return hr;
    }

private:
    IShellLinkW* link_;
};

// Releases a COM interface when it goes out of scope.
template <typename Interface>
class Releaser {
public:
    Releaser() = default;
    ~Releaser() {
        if (pointer_ != nullptr) {
            pointer_->Release();
        }
    }
    Releaser(const Releaser&) = delete;
    Releaser& operator=(const Releaser&) = delete;
    Interface** out() { return &pointer_; }
    void** outVoid() { return reinterpret_cast<void**>(&pointer_); }
    Interface* operator->() const { return pointer_; }

private:
    Interface* pointer_ = nullptr;
};

}  // namespace

bool Win32Shell::GetSpecialFolderPath(int csidl, bool create, std::wstring* path) {
    wchar_t buffer[MAX_PATH + 1] = {};  // the function's documented buffer size
    if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, create ? TRUE : FALSE)) {
        return false;
    }
    if (path != nullptr) {
        *path = TextOf(buffer, MAX_PATH);
    }
    return true;
}

int32_t Win32Shell::GetFolderPath(int csidlAndFlags, std::wstring* path) {
    wchar_t buffer[MAX_PATH + 1] = {};  // the function's documented buffer size
    const HRESULT hr =
        ::SHGetFolderPathW(nullptr, csidlAndFlags, nullptr, SHGFP_TYPE_CURRENT, buffer);
    if (SUCCEEDED(hr) && path != nullptr) {
        *path = TextOf(buffer, MAX_PATH);
    }
    return hr;
}

int32_t Win32Shell::CreateShellLink(std::unique_ptr<ShellLink>* link) {
    IShellLinkW* object = nullptr;
    const HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IShellLinkW, reinterpret_cast<void**>(&object));
    if (FAILED(hr)) {
        if (link != nullptr) {
            link->reset();
        }
        return hr;
    }
    if (link == nullptr) {
        object->Release();
        return hr;
    }
    link->reset(new (std::nothrow) Win32ShellLink(object));
    if (!*link) {
        object->Release();
        return E_OUTOFMEMORY;
    }
    return hr;
}

bool Win32Shell::ReadShellLink(const std::wstring& linkPath, ShellLinkInfo* info) {
    Releaser<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.outVoid()))) {
        return false;
    }
    Releaser<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.outVoid())) ||
        FAILED(file->Load(linkPath.c_str(), STGM_READ))) {
        return false;
    }
    HeapBuffer<wchar_t> text;
    if (!text.Allocate(kLinkTextChars)) {
        return false;
    }
    ShellLinkInfo result;
    if (FAILED(link->GetPath(text.data(), kLinkTextChars, nullptr, 0))) {
        return false;
    }
    result.target = TextOf(text.data(), kLinkTextChars);
    text.Clear();
    if (FAILED(link->GetWorkingDirectory(text.data(), kLinkTextChars))) {
        return false;
    }
    result.workingDirectory = TextOf(text.data(), kLinkTextChars);
    text.Clear();
    if (FAILED(link->GetArguments(text.data(), kLinkTextChars))) {
        return false;
    }
    result.arguments = TextOf(text.data(), kLinkTextChars);
    int showCmd = 0;
    if (FAILED(link->GetShowCmd(&showCmd))) {
        return false;
    }
    result.showCmd = showCmd;
    if (info != nullptr) {
        *info = std::move(result);
    }
    return true;
}

void Win32Shell::ChangeNotify(int32_t eventId, uint32_t flags) {
    ::SHChangeNotify(eventId, flags, nullptr, nullptr);
}

std::wstring Win32Shell::GetCommandLine() {
    const wchar_t* line = ::GetCommandLineW();
    return line != nullptr ? std::wstring(line) : std::wstring();
}

bool Win32Shell::CommandLineToArgv(const std::wstring& commandLine,
                                   std::vector<std::wstring>* args) {
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(commandLine.c_str(), &count);
    if (argv == nullptr) {
        return false;
    }
    // The copies are no larger than the command line itself (at most 32767 characters), like
    // any other text of the program.
    if (args != nullptr) {
        std::vector<std::wstring> result;
        result.reserve(count > 0 ? static_cast<size_t>(count) : 0);
        for (int i = 0; i < count; ++i) {
            result.emplace_back(argv[i] != nullptr ? argv[i] : L"");
        }
        args->swap(result);
    }
    ::LocalFree(argv);
    return true;
}

}  // namespace win32
