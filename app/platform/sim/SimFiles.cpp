#include <algorithm>
#include <cstring>

#include "base/Text.h"
#include "sim/Machine.h"

namespace sim {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr uint64_t kPageSize = 4096;
constexpr uint32_t kErrorNegativeSeek = 131;
constexpr uint32_t kErrorDirectory = 267;  // "The directory name is invalid."
constexpr uint32_t kFileAppendData = 0x0004;
constexpr uint32_t kDelete = 0x00010000;
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kMovefileCopyAllowed = 0x2;
// The longest path the non-\\?\ forms accept (MAX_PATH without the terminator), and the
// longest folder path CreateDirectory accepts (room left for an 8.3 name).
constexpr size_t kMaxPathChars = 259;
constexpr size_t kMaxDirectoryChars = 247;
// Attribute bits a file keeps (SetFileAttributes and creation).
constexpr uint32_t kSettableAttributes = win::kFileAttributeReadonly | win::kFileAttributeHidden |
                                         win::kFileAttributeSystem | win::kFileAttributeArchive;

bool WantsRead(uint32_t access) {
    return access & (win::kGenericRead | win::kFileReadData | kGenericAll);
}
bool WantsWrite(uint32_t access) {
    return access & (win::kGenericWrite | win::kFileWriteData | kFileAppendData | kGenericAll);
}
bool WantsDelete(uint32_t access) {
    return access & (kDelete | kGenericAll);
}

bool IsLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}
wchar_t UpperLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
}

// NTFS orders names by their upper-case form.
std::wstring UpperSortKey(const std::wstring& s) {
    std::wstring out = s;
    for (auto& c : out) {
        if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            c -= 32;
    }
    return out;
}

bool InvalidNameChar(wchar_t c) {
    return c < 32 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|' || c == L'?' ||
           c == L'*';
}

// Wildcard match, case-insensitive: '*' any run, '?' one character. "*.*" matches every
// name, as on Windows.
bool WildMatch(const std::wstring& pattern, const std::wstring& name) {
    if (pattern == L"*.*")
        return true;
    std::wstring p = base::ToLower(pattern), n = base::ToLower(name);
    size_t pi = 0, ni = 0, star = std::wstring::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == L'?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == L'*') {
            star = pi++;
            mark = ni;
        } else if (star != std::wstring::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == L'*')
        ++pi;
    return pi == p.size();
}

struct OpName {
    const char* name;
    FileOp op;
};
const OpName kOpNames[] = {
    {"Any", FileOp::Any},
    {"CopyFile", FileOp::CopyFile},
    {"MoveFile", FileOp::MoveFile},
    {"MoveFileEx", FileOp::MoveFileEx},
    {"DeleteFile", FileOp::DeleteFile},
    {"GetFileAttributes", FileOp::GetFileAttributes},
    {"SetFileAttributes", FileOp::SetFileAttributes},
    {"CreateDirectory", FileOp::CreateDirectory},
    {"RemoveDirectory", FileOp::RemoveDirectory},
    {"FindFirstFile", FileOp::FindFirstFile},
    {"FindNextFile", FileOp::FindNextFile},
    {"GetTempFileName", FileOp::GetTempFileName},
    {"GetModuleFileName", FileOp::GetModuleFileName},
    {"CreateFile", FileOp::CreateFile},
    {"CloseHandle", FileOp::CloseHandle},
    {"ReadFile", FileOp::ReadFile},
    {"WriteFile", FileOp::WriteFile},
    {"SetFilePointer", FileOp::SetFilePointer},
    {"SetEndOfFile", FileOp::SetEndOfFile},
    {"GetFileSize", FileOp::GetFileSize},
    {"GetFileInformationByHandle", FileOp::GetFileInformationByHandle},
    {"CreateHardLink", FileOp::CreateHardLink},
    {"CreateSymbolicLink", FileOp::CreateSymbolicLink},
    {"GetPrivateProfileString", FileOp::GetPrivateProfileString},
    {"GetPrivateProfileInt", FileOp::GetPrivateProfileInt},
    {"WritePrivateProfileString", FileOp::WritePrivateProfileString},
};

}  // namespace

SimFiles::SimFiles(Machine& machine) : machine_(machine) {}

SimFiles::~SimFiles() = default;

void SimFiles::InstallDefaults() {
    Guard guard(machine_.Lock());
    // Volumes set up after the files: the default folders are made directly.
    for (const wchar_t* folder :
         {L"C:\\Windows", L"C:\\Windows\\system32", L"C:\\Windows\\system32\\drivers",
          L"C:\\Program Files", L"C:\\ProgramData", L"C:\\Users\\User\\AppData\\Roaming",
          L"C:\\Users\\User\\AppData\\Local\\Temp", L"C:\\Setup"}) {
        std::wstring path = folder;
        size_t pos = 2;
        while (true) {
            pos = path.find(L'\\', pos + 1);
            std::wstring part = pos == std::wstring::npos ? path : path.substr(0, pos);
            if (!Lookup(part))
                CreateNode(part, true, win::kFileAttributeDirectory);
            if (pos == std::wstring::npos)
                break;
        }
    }
    Node& setup = CreateNode(L"C:\\Setup\\Setup.exe", false, win::kFileAttributeArchive);
    const char image[] = "MZ";
    WriteData(setup, 0, reinterpret_cast<const uint8_t*>(image), 2);
}

// --- Paths ---

std::wstring SimFiles::KeyOf(const std::wstring& full) {
    return base::ToLower(full);
}

std::wstring SimFiles::ParentOf(const std::wstring& full) {
    size_t pos = full.rfind(L'\\');
    if (pos == std::wstring::npos || pos < 2)
        return full;
    if (pos == 2)
        return full.substr(0, 3);
    return full.substr(0, pos);
}

std::wstring SimFiles::NameOf(const std::wstring& full) {
    size_t pos = full.rfind(L'\\');
    return pos == std::wstring::npos ? full : full.substr(pos + 1);
}

SimFiles::Resolved SimFiles::Resolve(const std::wstring& input) {
    Resolved r;
    if (input.empty()) {
        r.error = win::kErrorPathNotFound;
        return r;
    }
    std::wstring path = input;
    bool literal = false;
    if (path.size() >= 4 && path[0] == L'\\' && path[1] == L'\\' &&
        (path[2] == L'?' || path[2] == L'.') && path[3] == L'\\') {
        literal = path[2] == L'?';
        r.longForm = literal;
        std::wstring rest = path.substr(4);
        if (rest.size() == 2 && IsLetter(rest[0]) && rest[1] == L':') {
            r.target = Target::Volume;
            r.letter = UpperLetter(rest[0]);
            return r;
        }
        if (!(rest.size() >= 3 && IsLetter(rest[0]) && rest[1] == L':' && rest[2] == L'\\')) {
            // A device name.
            if (base::EqualsNoCase(rest, L"VfControl")) {
                r.target = Target::Control;
                return r;
            }
            if (base::StartsWithNoCase(rest, L"VfVeil") && rest.size() > 6 && rest.size() <= 14) {
                uint32_t number = 0;
                bool ok = true;
                for (size_t i = 6; i < rest.size() && ok; ++i) {
                    wchar_t c = rest[i];
                    uint32_t digit = 0;
                    if (c >= L'0' && c <= L'9') {
                        digit = c - L'0';
                    } else if (c >= L'a' && c <= L'f') {
                        digit = c - L'a' + 10;
                    } else if (c >= L'A' && c <= L'F') {
                        digit = c - L'A' + 10;
                    } else {
                        ok = false;
                    }
                    number = number * 16 + digit;
                }
                if (ok) {
                    r.target = Target::Overlay;
                    r.overlay = number;
                    return r;
                }
            }
            r.error = win::kErrorFileNotFound;
            return r;
        }
        path = rest;
    } else if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
        // UNC paths: no network in the sim.
        r.error = win::kErrorPathNotFound;
        return r;
    }
    if (!literal)
        std::replace(path.begin(), path.end(), L'/', L'\\');
    r.trailingSeparator = path.size() > 3 && path.back() == L'\\';

    // Make it absolute.
    std::wstring absolute;
    if (path.size() >= 2 && IsLetter(path[0]) && path[1] == L':') {
        if (path.size() >= 3 && path[2] == L'\\') {
            absolute = path;
        } else if (UpperLetter(path[0]) == UpperLetter(currentDirectory_[0])) {
            absolute = currentDirectory_ + L"\\" + path.substr(2);
        } else {
            absolute = std::wstring(1, path[0]) + L":\\" + path.substr(2);
        }
    } else if (path[0] == L'\\') {
        absolute = currentDirectory_.substr(0, 2) + path;
    } else {
        absolute = currentDirectory_ + L"\\" + path;
    }

    // Normalise the components.
    std::vector<std::wstring> parts;
    size_t start = 3;
    while (start <= absolute.size()) {
        size_t end = absolute.find(L'\\', start);
        if (end == std::wstring::npos)
            end = absolute.size();
        std::wstring part = absolute.substr(start, end - start);
        start = end + 1;
        if (part.empty())
            continue;
        if (!literal) {
            if (part == L".")
                continue;
            if (part == L"..") {
                if (!parts.empty())
                    parts.pop_back();
                continue;
            }
        }
        parts.push_back(part);
    }
    if (!literal && !parts.empty()) {
        std::wstring& last = parts.back();
        while (!last.empty() && (last.back() == L'.' || last.back() == L' '))
            last.pop_back();
        if (last.empty())
            parts.pop_back();
    }
    r.letter = UpperLetter(absolute[0]);
    r.full = std::wstring(1, r.letter) + L":\\";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            r.full += L'\\';
        r.full += parts[i];
    }
    if (!literal && r.full.size() > kMaxPathChars) {
        r.error = win::kErrorPathNotFound;
        return r;
    }
    for (const auto& part : parts) {
        for (wchar_t c : part) {
            if (InvalidNameChar(c)) {
                r.error = win::kErrorInvalidName;
                return r;
            }
        }
    }
    return r;
}

uint32_t SimFiles::CheckDrive(const Resolved& r) {
    if (r.error)
        return r.error;
    VolumeConfig* v = machine_.volumes().Volume(r.letter);
    if (!v)
        return win::kErrorPathNotFound;
    if (!v->mediaPresent)
        return win::kErrorNotReady;
    return 0;
}

SimFiles::Node* SimFiles::Lookup(const std::wstring& full) {
    auto it = nodes_.find(KeyOf(full));
    return it == nodes_.end() ? nullptr : &it->second;
}

bool SimFiles::FolderExists(const std::wstring& full) {
    if (IsRoot(full))
        return machine_.volumes().HasDrive(full[0]);
    Node* n = Lookup(full);
    return n && n->directory;
}

uint32_t SimFiles::MissingError(const std::wstring& full) {
    return FolderExists(ParentOf(full)) ? win::kErrorFileNotFound : win::kErrorPathNotFound;
}

std::vector<SimFiles::Node*> SimFiles::Children(const std::wstring& folder) {
    std::vector<Node*> out;
    std::wstring prefix = KeyOf(folder);
    if (!IsRoot(folder))
        prefix += L'\\';
    for (auto it = nodes_.lower_bound(prefix); it != nodes_.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0)
            break;
        if (it->first.find(L'\\', prefix.size()) == std::wstring::npos)
            out.push_back(&it->second);
    }
    return out;
}

// --- Failure injection ---

bool SimFiles::Fail(uint32_t error) {
    machine_.SetLastError(error);
    return false;
}

bool SimFiles::Injected(FileOp op, std::initializer_list<const std::wstring*> paths) {
    for (auto it = failures_.begin(); it != failures_.end(); ++it) {
        if (it->op != FileOp::Any && it->op != op)
            continue;
        if (!it->pattern.empty()) {
            bool matched = false;
            for (const std::wstring* p : paths) {
                if (!p)
                    continue;
                Resolved r = Resolve(*p);
                if (!r.error && r.target == Target::Path && WildMatch(it->pattern, r.full)) {
                    matched = true;
                }
            }
            if (!matched)
                continue;
        }
        if (it->skip > 0) {
            --it->skip;
            continue;
        }
        uint32_t error = it->error;
        if (it->count > 0 && --it->count == 0)
            failures_.erase(it);
        machine_.SetLastError(error);
        return true;
    }
    return false;
}

void SimFiles::FailNext(FileOp op, uint32_t error, int count) {
    Guard guard(machine_.Lock());
    if (count > 0)
        failures_.push_back(Failure{op, error, count, L""});
}

void SimFiles::FailNext(const std::string& opName, uint32_t error, int count) {
    for (const auto& entry : kOpNames) {
        if (opName == entry.name) {
            FailNext(entry.op, error, count);
            return;
        }
    }
}

void SimFiles::FailAfter(FileOp op, int after, uint32_t error, int count) {
    Guard guard(machine_.Lock());
    if (count > 0)
        failures_.push_back(Failure{op, error, count, L"", after > 0 ? after : 0});
}

void SimFiles::FailPath(const std::wstring& pattern, FileOp op, uint32_t error, int count) {
    Guard guard(machine_.Lock());
    if (pattern.empty() || count == 0)
        return;
    failures_.push_back(Failure{op, error, count, pattern});
}

void SimFiles::ClearFailures() {
    Guard guard(machine_.Lock());
    failures_.clear();
}

// --- Data ---

void SimFiles::WriteData(Node& node, uint64_t offset, const uint8_t* bytes, size_t count) {
    size_t done = 0;
    while (done < count) {
        uint64_t at = offset + done;
        uint64_t index = at / kPageSize;
        size_t within = static_cast<size_t>(at % kPageSize);
        size_t chunk = std::min<size_t>(count - done, kPageSize - within);
        auto& page = node.content->pages[index];
        if (page.empty())
            page.assign(kPageSize, 0);
        std::memcpy(page.data() + within, bytes + done, chunk);
        done += chunk;
    }
    node.content->size = std::max<uint64_t>(node.content->size, offset + count);
}

void SimFiles::ReadData(const Node& node, uint64_t offset, uint8_t* out, size_t count) {
    size_t done = 0;
    while (done < count) {
        uint64_t at = offset + done;
        uint64_t index = at / kPageSize;
        size_t within = static_cast<size_t>(at % kPageSize);
        size_t chunk = std::min<size_t>(count - done, kPageSize - within);
        auto it = node.content->pages.find(index);
        if (it == node.content->pages.end()) {
            std::memset(out + done, 0, chunk);
        } else {
            std::memcpy(out + done, it->second.data() + within, chunk);
        }
        done += chunk;
    }
}

void SimFiles::Resize(Node& node, uint64_t size) {
    if (size < node.content->size) {
        uint64_t firstGone = (size + kPageSize - 1) / kPageSize;
        node.content->pages.erase(node.content->pages.lower_bound(firstGone),
                                  node.content->pages.end());
        if (size % kPageSize) {
            auto it = node.content->pages.find(size / kPageSize);
            if (it != node.content->pages.end()) {
                std::fill(it->second.begin() + static_cast<std::ptrdiff_t>(size % kPageSize),
                          it->second.end(), 0);
            }
        }
    }
    node.content->size = size;
}

bool SimFiles::Reserve(const std::wstring& full, uint64_t oldSize, uint64_t newSize) {
    if (newSize <= oldSize) {
        Release(full, oldSize - newSize);
        return true;
    }
    uint64_t free = 0;
    if (!machine_.volumes().FreeBytes(full[0], &free))
        return true;
    if (newSize - oldSize > free)
        return false;
    machine_.volumes().AdjustFreeBytes(full[0], -static_cast<int64_t>(newSize - oldSize));
    return true;
}

void SimFiles::Release(const std::wstring& full, uint64_t bytes) {
    if (bytes)
        machine_.volumes().AdjustFreeBytes(full[0], static_cast<int64_t>(bytes));
}

SimFiles::Node& SimFiles::CreateNode(const std::wstring& full, bool directory,
                                     uint32_t attributes) {
    Node& node = nodes_[KeyOf(full)];
    node = Node();
    node.path = full;
    node.directory = directory;
    node.content->attributes = attributes;
    node.content->index = nextFileIndex_++;
    return node;
}

void SimFiles::EraseNode(const std::wstring& full) {
    nodes_.erase(KeyOf(full));
}

// --- Sharing ---

bool SimFiles::ShareConflict(const std::wstring& full, uint32_t access, uint32_t share) {
    // Opens asking for no data access (attributes only) neither check nor restrict sharing.
    auto dataAccess = [](uint32_t a) { return WantsRead(a) || WantsWrite(a) || WantsDelete(a); };
    if (!dataAccess(access))
        return false;
    std::wstring key = KeyOf(full);
    // Every name of a file shares its sharing state.
    const Node* node = Lookup(full);
    for (const auto& h : handles_) {
        const OpenObject& o = h.second;
        if ((o.kind != OpenKind::File && o.kind != OpenKind::Directory) || !dataAccess(o.access)) {
            continue;
        }
        const Node* other = KeyOf(o.path) == key ? nullptr : Lookup(o.path);
        if (KeyOf(o.path) != key && !(node && other && node->content == other->content)) {
            continue;
        }
        if ((WantsRead(access) && !(o.share & win::kFileShareRead)) ||
            (WantsWrite(access) && !(o.share & win::kFileShareWrite)) ||
            (WantsDelete(access) && !(o.share & win::kFileShareDelete)) ||
            (WantsRead(o.access) && !(share & win::kFileShareRead)) ||
            (WantsWrite(o.access) && !(share & win::kFileShareWrite)) ||
            (WantsDelete(o.access) && !(share & win::kFileShareDelete))) {
            return true;
        }
    }
    return false;
}

bool SimFiles::HasOpenHandles(const std::wstring& full, bool withoutShareDelete) {
    std::wstring key = KeyOf(full);
    std::wstring prefix = key + L"\\";
    for (const auto& h : handles_) {
        const OpenObject& o = h.second;
        if (o.kind != OpenKind::File && o.kind != OpenKind::Directory)
            continue;
        std::wstring k = KeyOf(o.path);
        if (k != key && k.compare(0, prefix.size(), prefix) != 0)
            continue;
        if (!withoutShareDelete || !(o.share & win::kFileShareDelete))
            return true;
    }
    return false;
}

// --- Copy, move, delete ---

bool SimFiles::CopyFile(const std::wstring& source, const std::wstring& destination,
                        bool failIfExists) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::CopyFile, {&source, &destination}))
        return false;
    Resolved s = Resolve(source);
    if (s.target != Target::Path)
        return Fail(s.error ? s.error : win::kErrorAccessDenied);
    if (uint32_t e = CheckDrive(s))
        return Fail(e);
    // A symbolic link as the source copies its target.
    uint32_t linkError = 0;
    s.full = FollowLinks(s.full, &linkError);
    if (linkError)
        return Fail(linkError);
    Node* src = Lookup(s.full);
    if (!src)
        return Fail(MissingError(s.full));
    if (src->directory || s.trailingSeparator) {
        return Fail(src->directory ? win::kErrorAccessDenied : win::kErrorInvalidName);
    }
    if (src->content->locked || ShareConflict(s.full, win::kGenericRead, win::kFileShareRead)) {
        return Fail(win::kErrorSharingViolation);
    }
    Resolved d = Resolve(destination);
    if (d.target != Target::Path)
        return Fail(d.error ? d.error : win::kErrorAccessDenied);
    if (uint32_t e = CheckDrive(d))
        return Fail(e);
    if (!FolderExists(ParentOf(d.full)))
        return Fail(win::kErrorPathNotFound);
    if (KeyOf(s.full) == KeyOf(d.full))
        return Fail(win::kErrorSharingViolation);
    Node* dst = Lookup(d.full);
    uint64_t oldSize = 0;
    if (dst) {
        if (failIfExists)
            return Fail(win::kErrorFileExists);
        if (dst->directory)
            return Fail(win::kErrorAccessDenied);
        if (dst->content->locked || dst->content->inUse ||
            ShareConflict(d.full, win::kGenericWrite, win::kFileShareRead)) {
            return Fail(win::kErrorSharingViolation);
        }
        // The copy is created over the old file with the source's attributes: a read-only
        // target, or a hidden or system one the source does not match, refuses.
        uint32_t needed =
            dst->content->attributes & (win::kFileAttributeHidden | win::kFileAttributeSystem);
        if ((dst->content->attributes & win::kFileAttributeReadonly) ||
            (needed & ~src->content->attributes)) {
            return Fail(win::kErrorAccessDenied);
        }
        oldSize = dst->content->size;
    }
    if (!Reserve(d.full, oldSize, src->content->size))
        return Fail(win::kErrorDiskFull);
    Node copy = *src;
    copy.content = std::make_shared<Content>(*src->content);
    copy.content->index = nextFileIndex_++;
    copy.linkTarget.clear();
    copy.path = dst ? dst->path : d.full;
    copy.content->attributes =
        (src->content->attributes & kSettableAttributes) | win::kFileAttributeArchive;
    copy.content->inUse = false;
    copy.content->locked = false;
    copy.lastOpenWriteThrough = false;
    nodes_[KeyOf(d.full)] = std::move(copy);
    return true;
}

bool SimFiles::MoveFile(const std::wstring& source, const std::wstring& destination) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::MoveFile, {&source, &destination}))
        return false;
    return DoMove(source, &destination, kMovefileCopyAllowed);
}

bool SimFiles::MoveFileEx(const std::wstring& source, const std::wstring* destination,
                          uint32_t flags) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::MoveFileEx, {&source, destination}))
        return false;
    if (flags & win::kMovefileDelayUntilReboot) {
        return ScheduleRename(source, destination, flags);
    }
    if (!destination)
        return Fail(win::kErrorInvalidParameter);
    return DoMove(source, destination, flags);
}

bool SimFiles::ScheduleRename(const std::wstring& source, const std::wstring* destination,
                              uint32_t flags) {
    // The Session Manager performs these at the next start; each entry is the source as
    // an NT path ("\??\C:\..."), then the destination ("" to delete, "!" in front when
    // an existing destination is to be replaced), appended to the REG_MULTI_SZ value.
    Resolved s = Resolve(source);
    if (s.target != Target::Path || s.error) {
        return Fail(s.error ? s.error : win::kErrorInvalidParameter);
    }
    std::wstring dest;
    if (destination) {
        Resolved d = Resolve(*destination);
        if (d.target != Target::Path || d.error) {
            return Fail(d.error ? d.error : win::kErrorInvalidParameter);
        }
        dest = d.full;
    }
    const std::wstring key = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    const std::wstring name = L"PendingFileRenameOperations";
    std::vector<uint8_t> data;
    if (auto raw = machine_.registry().GetRaw(Hive::LocalMachine, key, name)) {
        data = raw->bytes;
        // Drop the empty string ending the list.
        if (data.size() >= 4 && data[data.size() - 1] == 0 && data[data.size() - 2] == 0 &&
            data[data.size() - 3] == 0 && data[data.size() - 4] == 0) {
            data.resize(data.size() - 2);
        }
    }
    auto append = [&data](const std::wstring& text) {
        std::vector<uint8_t> bytes = base::ToUtf16LE(text);
        data.insert(data.end(), bytes.begin(), bytes.end());
        data.push_back(0);
        data.push_back(0);
    };
    append(L"\\??\\" + s.full);
    if (destination) {
        append(std::wstring((flags & win::kMovefileReplaceExisting) ? L"!" : L"") + L"\\??\\" +
               dest);
    } else {
        append(L"");
    }
    data.push_back(0);
    data.push_back(0);
    uint32_t status = machine_.registry().SetValue(Hive::LocalMachine, key, name, win::kRegMultiSz,
                                                   data.data(), static_cast<uint32_t>(data.size()));
    if (status != win::kErrorSuccess)
        return Fail(status);
    pending_.push_back(
        PendingRename{s.full, dest, (flags & win::kMovefileReplaceExisting) != 0 && destination});
    return true;
}

bool SimFiles::DoMove(const std::wstring& source, const std::wstring* destination, uint32_t flags) {
    Resolved s = Resolve(source);
    if (s.target != Target::Path)
        return Fail(s.error ? s.error : win::kErrorAccessDenied);
    if (uint32_t e = CheckDrive(s))
        return Fail(e);
    Node* src = Lookup(s.full);
    if (!src)
        return Fail(MissingError(s.full));
    if (src->content->locked || HasOpenHandles(s.full, true))
        return Fail(win::kErrorSharingViolation);
    if (s.full == currentDirectory_ || base::StartsWithNoCase(currentDirectory_, s.full + L"\\")) {
        return Fail(win::kErrorSharingViolation);
    }
    Resolved d = Resolve(*destination);
    if (d.target != Target::Path)
        return Fail(d.error ? d.error : win::kErrorAccessDenied);
    if (uint32_t e = CheckDrive(d))
        return Fail(e);
    if (!FolderExists(ParentOf(d.full)))
        return Fail(win::kErrorPathNotFound);
    const std::wstring srcKey = KeyOf(s.full), dstKey = KeyOf(d.full);
    if (src->directory && base::StartsWithNoCase(d.full, s.full + L"\\")) {
        return Fail(win::kErrorSharingViolation);
    }
    if (srcKey == dstKey) {  // a change of case only
        src->path = d.full;
        return true;
    }
    Node* dst = Lookup(d.full);
    if (dst) {
        if (!(flags & win::kMovefileReplaceExisting))
            return Fail(win::kErrorAlreadyExists);
        if (dst->directory || src->directory)
            return Fail(win::kErrorAccessDenied);
        if (dst->content->locked || HasOpenHandles(d.full, false)) {
            return Fail(win::kErrorSharingViolation);
        }
        if (dst->content->inUse || (dst->content->attributes & win::kFileAttributeReadonly)) {
            return Fail(win::kErrorAccessDenied);
        }
    }
    bool sameDrive = s.letter == d.letter;
    if (!sameDrive) {
        if (src->directory || !(flags & kMovefileCopyAllowed)) {
            return Fail(win::kErrorNotSameDevice);
        }
        if (!Reserve(d.full, dst ? dst->content->size : 0, src->content->size))
            return Fail(win::kErrorDiskFull);
        Release(s.full, src->content->size);
    } else if (dst) {
        Release(d.full, dst->content->size);
    }
    // Move the node and, for a folder, everything below it.
    std::vector<std::pair<std::wstring, Node>> moved;
    std::wstring prefix = srcKey + L"\\";
    for (auto it = nodes_.begin(); it != nodes_.end();) {
        if (it->first == srcKey || it->first.compare(0, prefix.size(), prefix) == 0) {
            Node n = std::move(it->second);
            n.path = d.full + n.path.substr(s.full.size());
            moved.emplace_back(KeyOf(n.path), std::move(n));
            it = nodes_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& m : moved)
        nodes_[m.first] = std::move(m.second);
    return true;
}

bool SimFiles::DeleteFile(const std::wstring& path) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::DeleteFile, {&path}))
        return false;
    Resolved r = Resolve(path);
    if (r.target != Target::Path)
        return Fail(r.error ? r.error : win::kErrorAccessDenied);
    if (uint32_t e = CheckDrive(r))
        return Fail(e);
    Node* n = Lookup(r.full);
    if (!n)
        return Fail(MissingError(r.full));
    if (n->directory)
        return Fail(win::kErrorAccessDenied);
    if (r.trailingSeparator)
        return Fail(win::kErrorInvalidName);
    if (n->content->locked || HasOpenHandles(r.full, true))
        return Fail(win::kErrorSharingViolation);
    if (n->content->inUse || (n->content->attributes & win::kFileAttributeReadonly)) {
        return Fail(win::kErrorAccessDenied);
    }
    // A symbolic link goes, not its target; a file's space is freed with its last name.
    if (CountLinks(n->content.get()) == 1)
        Release(r.full, n->content->size);
    EraseNode(r.full);
    return true;
}

uint32_t SimFiles::GetFileAttributes(const std::wstring& path) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::GetFileAttributes, {&path}))
        return win::kInvalidFileAttributes;
    Resolved r = Resolve(path);
    if (r.target != Target::Path) {
        Fail(r.error ? r.error : win::kErrorInvalidFunction);
        return win::kInvalidFileAttributes;
    }
    if (uint32_t e = CheckDrive(r)) {
        Fail(e);
        return win::kInvalidFileAttributes;
    }
    if (IsRoot(r.full)) {
        return win::kFileAttributeDirectory | win::kFileAttributeHidden | win::kFileAttributeSystem;
    }
    Node* n = Lookup(r.full);
    if (!n) {
        Fail(MissingError(r.full));
        return win::kInvalidFileAttributes;
    }
    if (!n->directory && r.trailingSeparator) {
        Fail(win::kErrorInvalidName);
        return win::kInvalidFileAttributes;
    }
    uint32_t attributes =
        n->content->attributes | (n->content->compressed ? win::kFileAttributeCompressed : 0);
    return attributes ? attributes : win::kFileAttributeNormal;
}

bool SimFiles::SetFileAttributes(const std::wstring& path, uint32_t attributes) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::SetFileAttributes, {&path}))
        return false;
    Resolved r = Resolve(path);
    if (r.target != Target::Path)
        return Fail(r.error ? r.error : win::kErrorInvalidFunction);
    if (uint32_t e = CheckDrive(r))
        return Fail(e);
    if (IsRoot(r.full))
        return true;
    // The attributes of a symbolic link's target are set, not the link's.
    uint32_t linkError = 0;
    r.full = FollowLinks(r.full, &linkError);
    if (linkError)
        return Fail(linkError);
    Node* n = Lookup(r.full);
    if (!n)
        return Fail(MissingError(r.full));
    if (n->content->locked)
        return Fail(win::kErrorSharingViolation);
    n->content->attributes =
        (attributes & kSettableAttributes) | (n->directory ? win::kFileAttributeDirectory : 0);
    return true;
}

bool SimFiles::CreateDirectory(const std::wstring& path) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::CreateDirectory, {&path}))
        return false;
    Resolved r = Resolve(path);
    if (r.target != Target::Path)
        return Fail(r.error ? r.error : win::kErrorAccessDenied);
    if (!r.longForm && !r.error && r.full.size() > kMaxDirectoryChars) {
        return Fail(win::kErrorFilenameExcedRange);
    }
    if (uint32_t e = CheckDrive(r))
        return Fail(e);
    if (IsRoot(r.full))
        return Fail(win::kErrorAccessDenied);
    if (Lookup(r.full))
        return Fail(win::kErrorAlreadyExists);
    if (!FolderExists(ParentOf(r.full)))
        return Fail(win::kErrorPathNotFound);
    CreateNode(r.full, true, win::kFileAttributeDirectory);
    return true;
}

bool SimFiles::RemoveDirectory(const std::wstring& path) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::RemoveDirectory, {&path}))
        return false;
    Resolved r = Resolve(path);
    if (r.target != Target::Path)
        return Fail(r.error ? r.error : win::kErrorAccessDenied);
    if (uint32_t e = CheckDrive(r))
        return Fail(e);
    if (IsRoot(r.full))
        return Fail(win::kErrorAccessDenied);
    Node* n = Lookup(r.full);
    if (!n)
        return Fail(MissingError(r.full));
    if (!n->directory)
        return Fail(kErrorDirectory);
    if (!Children(r.full).empty())
        return Fail(win::kErrorDirNotEmpty);
    if (n->content->attributes & win::kFileAttributeReadonly)
        return Fail(win::kErrorAccessDenied);
    // The process keeps its current folder open.
    if (base::EqualsNoCase(r.full, currentDirectory_) || HasOpenHandles(r.full, true)) {
        return Fail(win::kErrorSharingViolation);
    }
    EraseNode(r.full);
    return true;
}

// --- Enumeration ---

FindHandle SimFiles::FindFirstFile(const std::wstring& pattern, FindData* data) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::FindFirstFile, {&pattern}))
        return FindHandle();
    if (pattern.empty() || pattern.back() == L'\\' || pattern.back() == L'/') {
        Fail(win::kErrorFileNotFound);
        return FindHandle();
    }
    size_t cut = pattern.find_last_of(L"\\/");
    std::wstring folderPart = cut == std::wstring::npos ? L"." : pattern.substr(0, cut + 1);
    std::wstring namePattern = cut == std::wstring::npos ? pattern : pattern.substr(cut + 1);
    if (cut == std::wstring::npos && namePattern.size() >= 2 && namePattern[1] == L':') {
        folderPart = namePattern.substr(0, 2);
        namePattern = namePattern.substr(2);
    }
    Resolved r = Resolve(folderPart);
    if (r.target != Target::Path) {
        Fail(r.error ? r.error : win::kErrorFileNotFound);
        return FindHandle();
    }
    if (uint32_t e = CheckDrive(r)) {
        Fail(e);
        return FindHandle();
    }
    for (wchar_t c : namePattern) {
        if (c != L'*' && c != L'?' && InvalidNameChar(c)) {
            Fail(win::kErrorInvalidName);
            return FindHandle();
        }
    }
    if (!FolderExists(r.full)) {
        Fail(win::kErrorPathNotFound);
        return FindHandle();
    }
    Find find;
    if (!IsRoot(r.full)) {
        Node* self = Lookup(r.full);
        for (const wchar_t* dot : {L".", L".."}) {
            if (WildMatch(namePattern, dot)) {
                find.entries.push_back(FindData{dot, self->content->attributes, 0});
            }
        }
    }
    std::vector<Node*> kids = Children(r.full);
    std::sort(kids.begin(), kids.end(), [](const Node* a, const Node* b) {
        return UpperSortKey(NameOf(a->path)) < UpperSortKey(NameOf(b->path));
    });
    for (Node* kid : kids) {
        std::wstring name = NameOf(kid->path);
        if (!WildMatch(namePattern, name))
            continue;
        uint32_t attributes = kid->content->attributes |
                              (kid->content->compressed ? win::kFileAttributeCompressed : 0);
        find.entries.push_back(FindData{name, attributes ? attributes : win::kFileAttributeNormal,
                                        kid->content->size});
    }
    if (find.entries.empty()) {
        Fail(win::kErrorFileNotFound);
        return FindHandle();
    }
    if (data)
        *data = find.entries[0];
    find.next = 1;
    std::uintptr_t handle = machine_.NewHandleValue();
    finds_[handle] = std::move(find);
    return FindHandle(handle);
}

bool SimFiles::FindNextFile(FindHandle handle, FindData* data) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::FindNextFile, {}))
        return false;
    auto it = finds_.find(handle.value);
    if (it == finds_.end())
        return Fail(win::kErrorInvalidHandle);
    Find& find = it->second;
    if (find.next >= find.entries.size())
        return Fail(win::kErrorNoMoreFiles);
    if (data)
        *data = find.entries[find.next];
    ++find.next;
    return true;
}

bool SimFiles::FindClose(FindHandle handle) {
    Guard guard(machine_.Lock());
    if (!finds_.erase(handle.value))
        return Fail(win::kErrorInvalidHandle);
    return true;
}

uint32_t SimFiles::GetTempFileName(const std::wstring& folder, const std::wstring& prefix,
                                   std::wstring* path) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::GetTempFileName, {&folder}))
        return 0;
    Resolved r = Resolve(folder);
    if (r.target != Target::Path) {
        Fail(r.error ? r.error : kErrorDirectory);
        return 0;
    }
    if (uint32_t e = CheckDrive(r)) {
        Fail(e);
        return 0;
    }
    if (!FolderExists(r.full)) {
        Fail(kErrorDirectory);
        return 0;
    }
    // The name is made from the folder as it was given (a device path of a folder stays
    // one), with a backslash added when it has none.
    std::wstring given = folder;
    if (given.back() != L'\\' && given.back() != L'/')
        given += L'\\';
    const std::wstring base = given + prefix.substr(0, 3);
    const std::wstring fullBase = r.full + (IsRoot(r.full) ? L"" : L"\\") + prefix.substr(0, 3);
    for (int tries = 0; tries < 0x10000; ++tries) {
        nextTempUnique_ = (nextTempUnique_ + 1) & 0xFFFF;
        if (nextTempUnique_ == 0)
            nextTempUnique_ = 1;
        const std::wstring name = base::Format(L"%X", nextTempUnique_) + L".tmp";
        if (Lookup(fullBase + name))
            continue;
        CreateNode(fullBase + name, false, win::kFileAttributeArchive);
        if (path)
            *path = base + name;
        return nextTempUnique_;
    }
    Fail(win::kErrorFileExists);
    return 0;
}

bool SimFiles::GetModuleFileName(std::wstring* path) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::GetModuleFileName, {}))
        return false;
    if (path)
        *path = modulePath_;
    return true;
}

// --- Handles ---

FileHandle SimFiles::CreateFile(const std::wstring& path, uint32_t access, uint32_t share,
                                uint32_t disposition, uint32_t flagsAndAttributes) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::CreateFile, {&path}))
        return FileHandle();
    if (disposition < win::kCreateNew || disposition > win::kTruncateExisting) {
        Fail(win::kErrorInvalidParameter);
        return FileHandle();
    }
    Resolved r = Resolve(path);
    if (r.error) {
        Fail(r.error);
        return FileHandle();
    }
    OpenObject object;
    object.opened = path;
    object.access = access;
    object.share = share;
    object.writeThrough = (flagsAndAttributes & win::kFileFlagWriteThrough) != 0;
    switch (r.target) {
        case Target::Volume:
            if (!machine_.volumes().HasDrive(r.letter)) {
                Fail(win::kErrorFileNotFound);
                return FileHandle();
            }
            object.kind = OpenKind::Volume;
            object.letter = r.letter;
            break;
        case Target::Control:
            if (!machine_.volumes().DriverLoaded()) {
                Fail(win::kErrorFileNotFound);
                return FileHandle();
            }
            object.kind = OpenKind::Control;
            break;
        case Target::Overlay: {
            wchar_t owner = machine_.volumes().OverlayOwner(r.overlay);
            if (!owner) {
                Fail(win::kErrorFileNotFound);
                return FileHandle();
            }
            object.kind = OpenKind::Overlay;
            object.letter = owner;
            object.overlay = r.overlay;
            break;
        }
        case Target::Path: {
            if (uint32_t e = CheckDrive(r)) {
                Fail(e);
                return FileHandle();
            }
            if (!(flagsAndAttributes & win::kFileFlagOpenReparsePoint) && !IsRoot(r.full)) {
                uint32_t linkError = 0;
                r.full = FollowLinks(r.full, &linkError);
                if (linkError) {
                    Fail(linkError);
                    return FileHandle();
                }
                r.letter = r.full[0];
                if (uint32_t e = CheckDrive(r)) {
                    Fail(e);
                    return FileHandle();
                }
            }
            object.letter = r.letter;
            Node* n = IsRoot(r.full) ? nullptr : Lookup(r.full);
            if (IsRoot(r.full) || (n && n->directory)) {
                if (!(flagsAndAttributes & win::kFileFlagBackupSemantics)) {
                    Fail(win::kErrorAccessDenied);
                    return FileHandle();
                }
                if (disposition != win::kOpenExisting && disposition != win::kOpenAlways) {
                    Fail(win::kErrorAccessDenied);
                    return FileHandle();
                }
                object.kind = OpenKind::Directory;
                object.path = r.full;
                break;
            }
            object.kind = OpenKind::File;
            if (n && r.trailingSeparator) {
                Fail(win::kErrorInvalidName);
                return FileHandle();
            }
            if (!n && !FolderExists(ParentOf(r.full))) {
                Fail(win::kErrorPathNotFound);
                return FileHandle();
            }
            bool existed = n != nullptr;
            if (existed) {
                if (disposition == win::kCreateNew) {
                    Fail(win::kErrorFileExists);
                    return FileHandle();
                }
                bool truncating =
                    disposition == win::kCreateAlways || disposition == win::kTruncateExisting;
                if (disposition == win::kTruncateExisting && !WantsWrite(access)) {
                    Fail(win::kErrorInvalidParameter);
                    return FileHandle();
                }
                if (n->content->locked ||
                    ((WantsWrite(access) || truncating) && n->content->inUse) ||
                    ShareConflict(r.full, access | (truncating ? win::kGenericWrite : 0), share)) {
                    Fail(win::kErrorSharingViolation);
                    return FileHandle();
                }
                if ((n->content->attributes & win::kFileAttributeReadonly) &&
                    (WantsWrite(access) || WantsDelete(access) || truncating)) {
                    Fail(win::kErrorAccessDenied);
                    return FileHandle();
                }
                if (disposition == win::kCreateAlways) {
                    uint32_t kept = n->content->attributes &
                                    (win::kFileAttributeHidden | win::kFileAttributeSystem);
                    if (kept & ~flagsAndAttributes) {
                        Fail(win::kErrorAccessDenied);
                        return FileHandle();
                    }
                    n->content->attributes =
                        (flagsAndAttributes & kSettableAttributes) | win::kFileAttributeArchive;
                }
                if (truncating) {
                    Release(r.full, n->content->size);
                    Resize(*n, 0);
                    n->content->pages.clear();
                }
            } else {
                if (disposition == win::kOpenExisting || disposition == win::kTruncateExisting) {
                    Fail(win::kErrorFileNotFound);
                    return FileHandle();
                }
                n = &CreateNode(
                    r.full, false,
                    (flagsAndAttributes & kSettableAttributes) | win::kFileAttributeArchive);
            }
            n->lastOpenWriteThrough = object.writeThrough;
            object.path = n->path;
            std::uintptr_t handle = machine_.NewHandleValue();
            handles_[handle] = object;
            bool reportsExisting =
                disposition == win::kCreateAlways || disposition == win::kOpenAlways;
            machine_.SetLastError(existed && reportsExisting ? win::kErrorAlreadyExists : 0);
            return FileHandle(handle);
        }
    }
    std::uintptr_t handle = machine_.NewHandleValue();
    handles_[handle] = object;
    machine_.SetLastError(0);
    return FileHandle(handle);
}

bool SimFiles::CloseHandle(FileHandle file) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::CloseHandle, {}))
        return false;
    if (!handles_.erase(file.value))
        return Fail(win::kErrorInvalidHandle);
    return true;
}

bool SimFiles::BeginTransfer(FileHandle file, FileOp op, bool hasBuffer, OpenObject** object,
                             Node** node) {
    auto it = handles_.find(file.value);
    if (it == handles_.end())
        return Fail(win::kErrorInvalidHandle);
    if (Injected(op, {&it->second.path}))
        return false;
    OpenObject& o = it->second;
    if (o.kind != OpenKind::File)
        return Fail(win::kErrorInvalidFunction);
    const bool allowed = op == FileOp::ReadFile ? WantsRead(o.access) : WantsWrite(o.access);
    if (!allowed)
        return Fail(win::kErrorAccessDenied);
    if (!hasBuffer)
        return Fail(win::kErrorInvalidParameter);
    Node* n = Lookup(o.path);
    if (!n)
        return Fail(win::kErrorInvalidHandle);
    *object = &o;
    *node = n;
    return true;
}

bool SimFiles::ReadFile(FileHandle file, void* buffer, uint32_t toRead, uint32_t* read) {
    Guard guard(machine_.Lock());
    if (read)
        *read = 0;
    OpenObject* object = nullptr;
    Node* n = nullptr;
    if (!BeginTransfer(file, FileOp::ReadFile, buffer || !toRead, &object, &n))
        return false;
    OpenObject& o = *object;
    uint64_t available = o.position < n->content->size ? n->content->size - o.position : 0;
    uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(toRead, available));
    ReadData(*n, o.position, static_cast<uint8_t*>(buffer), count);
    o.position += count;
    if (read)
        *read = count;
    return true;
}

bool SimFiles::WriteFile(FileHandle file, const void* buffer, uint32_t toWrite, uint32_t* written) {
    Guard guard(machine_.Lock());
    if (written)
        *written = 0;
    OpenObject* object = nullptr;
    Node* n = nullptr;
    if (!BeginTransfer(file, FileOp::WriteFile, buffer || !toWrite, &object, &n))
        return false;
    OpenObject& o = *object;
    uint64_t end = o.position + toWrite;
    if (end > n->content->size && !Reserve(n->path, n->content->size, end))
        return Fail(win::kErrorDiskFull);
    if (toWrite)
        WriteData(*n, o.position, static_cast<const uint8_t*>(buffer), toWrite);
    o.position = end;
    if (written)
        *written = toWrite;
    return true;
}

bool SimFiles::SetFilePointer(FileHandle file, int64_t distance, uint32_t method,
                              int64_t* newPosition) {
    Guard guard(machine_.Lock());
    auto it = handles_.find(file.value);
    if (it == handles_.end())
        return Fail(win::kErrorInvalidHandle);
    if (Injected(FileOp::SetFilePointer, {&it->second.path}))
        return false;
    OpenObject& o = it->second;
    int64_t base = 0;
    if (method == win::kFileBegin) {
        base = 0;
    } else if (method == win::kFileCurrent) {
        base = static_cast<int64_t>(o.position);
    } else if (method == win::kFileEnd) {
        Node* n = o.kind == OpenKind::File ? Lookup(o.path) : nullptr;
        base = n ? static_cast<int64_t>(n->content->size) : 0;
    } else {
        return Fail(win::kErrorInvalidParameter);
    }
    if ((distance < 0 && base + distance < 0) || (distance > 0 && base > INT64_MAX - distance)) {
        return Fail(kErrorNegativeSeek);
    }
    o.position = static_cast<uint64_t>(base + distance);
    if (newPosition)
        *newPosition = static_cast<int64_t>(o.position);
    return true;
}

bool SimFiles::SetEndOfFile(FileHandle file) {
    Guard guard(machine_.Lock());
    auto it = handles_.find(file.value);
    if (it == handles_.end())
        return Fail(win::kErrorInvalidHandle);
    if (Injected(FileOp::SetEndOfFile, {&it->second.path}))
        return false;
    OpenObject& o = it->second;
    if (o.kind != OpenKind::File)
        return Fail(win::kErrorInvalidFunction);
    if (!WantsWrite(o.access))
        return Fail(win::kErrorAccessDenied);
    Node* n = Lookup(o.path);
    if (!n)
        return Fail(win::kErrorInvalidHandle);
    if (!Reserve(n->path, n->content->size, o.position))
        return Fail(win::kErrorDiskFull);
    Resize(*n, o.position);
    return true;
}

bool SimFiles::GetFileSize(FileHandle file, uint64_t* size) {
    Guard guard(machine_.Lock());
    auto it = handles_.find(file.value);
    if (it == handles_.end())
        return Fail(win::kErrorInvalidHandle);
    if (Injected(FileOp::GetFileSize, {&it->second.path}))
        return false;
    OpenObject& o = it->second;
    if (o.kind != OpenKind::File && o.kind != OpenKind::Directory) {
        return Fail(win::kErrorInvalidFunction);
    }
    Node* n = Lookup(o.path);
    if (size)
        *size = (n && !n->directory) ? n->content->size : 0;
    return true;
}

bool SimFiles::GetFileInformationByHandle(FileHandle file, platform::FileInformation* information) {
    Guard guard(machine_.Lock());
    auto it = handles_.find(file.value);
    if (it == handles_.end())
        return Fail(win::kErrorInvalidHandle);
    if (Injected(FileOp::GetFileInformationByHandle, {&it->second.path}))
        return false;
    const OpenObject& o = it->second;
    if (o.kind != OpenKind::File && o.kind != OpenKind::Directory)
        return Fail(win::kErrorInvalidFunction);
    platform::FileInformation info;
    // A serial number per drive, like a volume's.
    info.volumeSerial = 0x5C1E0000u | static_cast<uint32_t>(o.letter);
    if (IsRoot(o.path)) {
        info.attributes =
            win::kFileAttributeDirectory | win::kFileAttributeHidden | win::kFileAttributeSystem;
        info.fileIndex = 5;  // NTFS's root folder record
        info.links = 1;
    } else {
        Node* n = Lookup(o.path);
        if (!n)
            return Fail(win::kErrorInvalidHandle);
        uint32_t attributes =
            n->content->attributes | (n->content->compressed ? win::kFileAttributeCompressed : 0);
        info.attributes = attributes ? attributes : win::kFileAttributeNormal;
        info.fileIndex = n->content->index;
        info.links = n->directory ? 1 : CountLinks(n->content.get());
        info.size = n->directory ? 0 : n->content->size;
    }
    if (information)
        *information = info;
    return true;
}

uint32_t SimFiles::CountLinks(const Content* content) {
    uint32_t links = 0;
    for (const auto& entry : nodes_) {
        if (entry.second.content.get() == content)
            ++links;
    }
    return links;
}

std::wstring SimFiles::FollowLinks(const std::wstring& full, uint32_t* error) {
    std::wstring current = full;
    // Windows gives up after 63 reparse points in one open; 31 links are plenty here.
    for (int hops = 0; hops < 32; ++hops) {
        Node* n = Lookup(current);
        if (!n || n->directory || n->linkTarget.empty())
            return current;
        std::wstring target = n->linkTarget;
        const bool absolute = (target.size() >= 3 && target[1] == L':' && target[2] == L'\\') ||
                              (target.size() >= 4 && target.compare(0, 4, L"\\\\?\\") == 0);
        if (!absolute)
            target = ParentOf(current) + (IsRoot(ParentOf(current)) ? L"" : L"\\") + target;
        Resolved r = Resolve(target);
        if (r.error || r.target != Target::Path) {
            *error = r.error ? r.error : win::kErrorCantResolveFilename;
            return current;
        }
        current = r.full;
    }
    *error = win::kErrorCantResolveFilename;
    return current;
}

bool SimFiles::CreateHardLink(const std::wstring& newName, const std::wstring& existing) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::CreateHardLink, {&newName, &existing}))
        return false;
    Resolved e = Resolve(existing);
    if (e.target != Target::Path)
        return Fail(e.error ? e.error : win::kErrorAccessDenied);
    if (uint32_t error = CheckDrive(e))
        return Fail(error);
    Node* file = IsRoot(e.full) ? nullptr : Lookup(e.full);
    if (IsRoot(e.full) || (file && file->directory))
        return Fail(win::kErrorAccessDenied);
    if (!file)
        return Fail(MissingError(e.full));
    Resolved n = Resolve(newName);
    if (n.target != Target::Path)
        return Fail(n.error ? n.error : win::kErrorAccessDenied);
    if (uint32_t error = CheckDrive(n))
        return Fail(error);
    if (n.letter != e.letter)
        return Fail(win::kErrorNotSameDevice);
    if (IsRoot(n.full) || Lookup(n.full))
        return Fail(win::kErrorAlreadyExists);
    if (!FolderExists(ParentOf(n.full)))
        return Fail(win::kErrorPathNotFound);
    Node link = *file;
    link.path = n.full;
    link.lastOpenWriteThrough = false;
    nodes_[KeyOf(n.full)] = std::move(link);
    return true;
}

bool SimFiles::CreateSymbolicLink(const std::wstring& link, const std::wstring& target,
                                  bool directory) {
    Guard guard(machine_.Lock());
    if (Injected(FileOp::CreateSymbolicLink, {&link}))
        return false;
    if (target.empty())
        return Fail(win::kErrorInvalidParameter);
    Resolved r = Resolve(link);
    if (r.target != Target::Path)
        return Fail(r.error ? r.error : win::kErrorAccessDenied);
    if (uint32_t error = CheckDrive(r))
        return Fail(error);
    if (IsRoot(r.full) || Lookup(r.full))
        return Fail(win::kErrorAlreadyExists);
    if (!FolderExists(ParentOf(r.full)))
        return Fail(win::kErrorPathNotFound);
    Node& n =
        CreateNode(r.full, directory,
                   win::kFileAttributeReparsePoint |
                       (directory ? win::kFileAttributeDirectory : win::kFileAttributeArchive));
    n.linkTarget = target;
    return true;
}

uint32_t SimFiles::LinkCount(const std::wstring& path) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    Node* n = (r.target != Target::Path || r.error) ? nullptr : Lookup(r.full);
    return n ? CountLinks(n->content.get()) : 0;
}

std::wstring SimFiles::LinkTarget(const std::wstring& path) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    Node* n = (r.target != Target::Path || r.error) ? nullptr : Lookup(r.full);
    return n ? n->linkTarget : std::wstring();
}

const OpenObject* SimFiles::FindOpen(FileHandle file) {
    Guard guard(machine_.Lock());
    auto it = handles_.find(file.value);
    return it == handles_.end() ? nullptr : &it->second;
}

void SimFiles::SetCompressed(const std::wstring& path, bool compressed) {
    Guard guard(machine_.Lock());
    if (Node* n = Lookup(path))
        n->content->compressed = compressed;
}

// --- Test API ---

bool SimFiles::MakeFolders(const std::wstring& path) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    if (r.target != Target::Path || CheckDrive(r))
        return false;
    if (IsRoot(r.full))
        return true;
    size_t pos = 2;
    while (true) {
        pos = r.full.find(L'\\', pos + 1);
        std::wstring part = pos == std::wstring::npos ? r.full : r.full.substr(0, pos);
        Node* n = Lookup(part);
        if (n && !n->directory)
            return false;
        if (!n)
            CreateNode(part, true, win::kFileAttributeDirectory);
        if (pos == std::wstring::npos)
            return true;
    }
}

bool SimFiles::AddFileData(const std::wstring& path, const uint8_t* bytes, size_t count,
                           uint64_t sparseSize) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    if (r.target != Target::Path || CheckDrive(r) || IsRoot(r.full))
        return false;
    if (!MakeFolders(ParentOf(r.full)))
        return false;
    Node* old = Lookup(r.full);
    if (old && old->directory)
        return false;
    uint64_t oldSize = old ? old->content->size : 0;
    Node& n = CreateNode(old ? old->path : r.full, false, win::kFileAttributeArchive);
    if (count)
        WriteData(n, 0, bytes, count);
    n.content->size = std::max<uint64_t>(count, sparseSize);
    // Set-up is not refused for space; the free space follows without going below 0.
    uint64_t free = 0;
    if (machine_.volumes().FreeBytes(r.letter, &free)) {
        int64_t delta = static_cast<int64_t>(oldSize) - static_cast<int64_t>(n.content->size);
        if (delta < 0 && static_cast<uint64_t>(-delta) > free)
            delta = -static_cast<int64_t>(free);
        machine_.volumes().AdjustFreeBytes(r.letter, delta);
    }
    return true;
}

bool SimFiles::AddFile(const std::wstring& path, const std::string& bytes) {
    return AddFileData(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 0);
}

bool SimFiles::AddFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    return AddFileData(path, bytes.data(), bytes.size(), 0);
}

bool SimFiles::AddSparseFile(const std::wstring& path, uint64_t size) {
    return AddFileData(path, nullptr, 0, size);
}

void SimFiles::SetAttributes(const std::wstring& path, uint32_t attributes) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    if (r.target != Target::Path || r.error)
        return;
    if (Node* n = Lookup(r.full)) {
        n->content->attributes = (attributes & (kSettableAttributes)) |
                                 (n->directory ? win::kFileAttributeDirectory : 0) |
                                 (n->linkTarget.empty() ? 0 : win::kFileAttributeReparsePoint);
    }
}

void SimFiles::SetInUse(const std::wstring& path, bool inUse) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    if (Node* n = r.error ? nullptr : Lookup(r.full))
        n->content->inUse = inUse;
}

void SimFiles::SetLocked(const std::wstring& path, bool locked) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    if (Node* n = r.error ? nullptr : Lookup(r.full))
        n->content->locked = locked;
}

bool SimFiles::Exists(const std::wstring& path) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    if (r.target != Target::Path || CheckDrive(r))
        return false;
    return IsRoot(r.full) || Lookup(r.full) != nullptr;
}

bool SimFiles::IsDirectory(const std::wstring& path) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    if (r.target != Target::Path || CheckDrive(r))
        return false;
    return FolderExists(r.full);
}

std::optional<std::vector<uint8_t>> SimFiles::ReadRange(const std::wstring& path, uint64_t offset,
                                                        uint64_t length) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    if (r.target != Target::Path || r.error)
        return std::nullopt;
    Node* n = Lookup(r.full);
    if (!n || n->directory)
        return std::nullopt;
    uint64_t available = offset < n->content->size ? n->content->size - offset : 0;
    std::vector<uint8_t> out(static_cast<size_t>(std::min(length, available)));
    ReadData(*n, offset, out.data(), out.size());
    return out;
}

std::optional<std::vector<uint8_t>> SimFiles::ReadBytes(const std::wstring& path) {
    return ReadRange(path, 0, UINT64_MAX);
}

std::optional<std::string> SimFiles::ReadText(const std::wstring& path) {
    auto bytes = ReadBytes(path);
    if (!bytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

uint32_t SimFiles::Attributes(const std::wstring& path) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    if (r.target != Target::Path || r.error)
        return win::kInvalidFileAttributes;
    Node* n = Lookup(r.full);
    if (!n)
        return win::kInvalidFileAttributes;
    uint32_t attributes =
        n->content->attributes | (n->content->compressed ? win::kFileAttributeCompressed : 0);
    return attributes ? attributes : win::kFileAttributeNormal;
}

std::optional<uint64_t> SimFiles::Size(const std::wstring& path) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    Node* n = (r.target != Target::Path || r.error) ? nullptr : Lookup(r.full);
    if (!n || n->directory)
        return std::nullopt;
    return n->content->size;
}

uint64_t SimFiles::StoredBytes(const std::wstring& path) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    Node* n = (r.target != Target::Path || r.error) ? nullptr : Lookup(r.full);
    uint64_t total = 0;
    if (n) {
        for (const auto& page : n->content->pages)
            total += page.second.size();
    }
    return total;
}

bool SimFiles::LastOpenWriteThrough(const std::wstring& path) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    Node* n = (r.target != Target::Path || r.error) ? nullptr : Lookup(r.full);
    return n && n->lastOpenWriteThrough;
}

bool SimFiles::IsCompressed(const std::wstring& path) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    Node* n = (r.target != Target::Path || r.error) ? nullptr : Lookup(r.full);
    return n && n->content->compressed;
}

int SimFiles::OpenCount(const std::wstring& path) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    if (r.target != Target::Path || r.error)
        return 0;
    int count = 0;
    for (const auto& h : handles_) {
        if ((h.second.kind == OpenKind::File || h.second.kind == OpenKind::Directory) &&
            base::EqualsNoCase(h.second.path, r.full)) {
            ++count;
        }
    }
    return count;
}

std::vector<PendingRename> SimFiles::PendingRenames() {
    Guard guard(machine_.Lock());
    return pending_;
}

std::vector<std::wstring> SimFiles::List(const std::wstring& prefix) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> out;
    for (const auto& entry : nodes_) {
        if (base::StartsWithNoCase(entry.second.path, prefix))
            out.push_back(entry.second.path);
    }
    return out;
}

std::wstring SimFiles::ModulePath() {
    Guard guard(machine_.Lock());
    return modulePath_;
}

void SimFiles::SetModulePath(const std::wstring& path) {
    Guard guard(machine_.Lock());
    modulePath_ = path;
}

std::wstring SimFiles::CurrentDirectory() {
    Guard guard(machine_.Lock());
    return currentDirectory_;
}

void SimFiles::SetCurrentDirectory(const std::wstring& path) {
    Guard guard(machine_.Lock());
    Resolved r = Resolve(path);
    if (r.target == Target::Path && !r.error)
        currentDirectory_ = r.full;
}

std::wstring SimFiles::WindowsFolder() {
    Guard guard(machine_.Lock());
    return windowsFolder_;
}

void SimFiles::SetWindowsFolder(const std::wstring& path) {
    Guard guard(machine_.Lock());
    windowsFolder_ = base::TrimmedTrailingBackslashes(path);
}

}  // namespace sim
