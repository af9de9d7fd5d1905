#include "Setup/flow/InstallLog.h"

#include "Setup/protect/FileSafety.h"
#include "base/Text.h"

namespace {

// The category column's width.
constexpr size_t kCategoryWidth = 8;
// Text values longer than this are shown in part, with their length.
constexpr size_t kLargestDataChars = 1024;
// Binary data: the bytes shown before the size.
constexpr uint32_t kLargestDataBytes = 64;

const uint8_t kByteOrderMark[] = {0xEF, 0xBB, 0xBF};

// How much of an existing file is read to tell whether it is an earlier install log.
constexpr uint32_t kHeaderBytes = 512;
// What the first line of every install log of the program holds after its time.
constexpr char kFirstLineMark[] = "  Setup     Corvane Setup ";

// Whether |file| is empty or holds an earlier install log: the mark, then a first line
// with the program's name.
bool MayOverwrite(platform::Files& files, platform::FileHandle file) {
    uint64_t size = 0;
    if (!files.GetFileSize(file, &size)) {
        return false;
    }
    if (size == 0) {
        return true;
    }
    char head[kHeaderBytes] = {};
    uint32_t read = 0;
    if (!files.ReadFile(file, head, kHeaderBytes, &read)) {
        return false;
    }
    const std::string text(head, read);
    const std::string mark(reinterpret_cast<const char*>(kByteOrderMark), sizeof(kByteOrderMark));
    if (text.compare(0, mark.size(), mark) != 0) {
        return false;
    }
    // A log that got no further than its mark, or one whose first line is the header.
    const size_t lineEnd = text.find("\r\n");
    return text.size() == mark.size() ||
           (lineEnd != std::string::npos && text.find(kFirstLineMark) < lineEnd);
}

struct ErrorName {
    uint32_t code;
    const wchar_t* name;
};

// The errors the program's operations meet, in the words of their message texts.
const ErrorName kErrorNames[] = {
    {win::kErrorInvalidFunction, L"invalid function"},
    {win::kErrorFileNotFound, L"the file was not found"},
    {win::kErrorPathNotFound, L"the path was not found"},
    {win::kErrorAccessDenied, L"access denied"},
    {win::kErrorInvalidHandle, L"invalid handle"},
    {win::kErrorNotEnoughMemory, L"not enough memory"},
    {win::kErrorInvalidData, L"invalid data"},
    {win::kErrorInvalidDrive, L"the drive was not found"},
    {win::kErrorNotSameDevice, L"not the same drive"},
    {win::kErrorWriteProtect, L"write-protected"},
    {win::kErrorNotReady, L"the device is not ready"},
    {win::kErrorSharingViolation, L"in use by another process"},
    {win::kErrorNotSupported, L"not supported"},
    {win::kErrorFileExists, L"the file exists"},
    {win::kErrorInvalidParameter, L"invalid parameter"},
    {win::kErrorDiskFull, L"the disk is full"},
    {win::kErrorInsufficientBuffer, L"the buffer is too small"},
    {win::kErrorInvalidName, L"invalid name"},
    {win::kErrorModNotFound, L"the module was not found"},
    {win::kErrorProcNotFound, L"the procedure was not found"},
    {win::kErrorDirNotEmpty, L"the folder is not empty"},
    {win::kErrorDirectory, L"not a valid folder name"},
    {win::kErrorBadPathname, L"invalid path"},
    {win::kErrorAlreadyExists, L"already exists"},
    {win::kErrorBadExeFormat, L"not a valid program"},
    {win::kErrorFilenameExcedRange, L"the name is too long"},
    {win::kErrorMoreData, L"more data"},
    {win::kErrorNoMoreItems, L"no more items"},
    {win::kErrorArithmeticOverflow, L"too large"},
    {win::kErrorNoaccess, L"invalid access to memory"},
    {win::kErrorNotAllAssigned, L"not all privileges were assigned"},
    {win::kErrorPrivilegeNotHeld, L"a required privilege is not held"},
    {win::kErrorInvalidWindowHandle, L"invalid window handle"},
    {win::kErrorResourceNameNotFound, L"the resource was not found"},
};

// Characters that are written as a name: they would end the line, or make it read other
// than it is (controls, line and paragraph separators, direction marks and overrides,
// unpaired surrogates, non-characters).
bool IsShownAsName(uint32_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF ||
           c == 0xFFFE || c == 0xFFFF;
}

const wchar_t* TypeName(uint32_t type) {
    switch (type) {
        case win::kRegNone:
            return L"REG_NONE";
        case win::kRegSz:
            return L"REG_SZ";
        case win::kRegExpandSz:
            return L"REG_EXPAND_SZ";
        case win::kRegBinary:
            return L"REG_BINARY";
        case win::kRegDword:
            return L"REG_DWORD";
        case win::kRegMultiSz:
            return L"REG_MULTI_SZ";
        case win::kRegQword:
            return L"REG_QWORD";
        default:
            return nullptr;
    }
}

std::wstring BytesText(const uint8_t* bytes, uint32_t size) {
    std::wstring text;
    const uint32_t shown = size < kLargestDataBytes ? size : kLargestDataBytes;
    for (uint32_t i = 0; i < shown; ++i) {
        text += base::Format(L"%ls%02x", i == 0 ? L"" : L" ", bytes[i]);
    }
    if (shown < size) {
        text += L" ...";
    }
    return text + base::Format(L"%ls(%u bytes)", size == 0 ? L"" : L" ", size);
}

std::wstring DataText(const CInstallLog* log, const std::wstring& text) {
    return log != nullptr ? log->Data(text) : LogQuote(text);
}

std::wstring StringDataText(const CInstallLog* log, const uint8_t* bytes, uint32_t size) {
    std::wstring text = base::FromUtf16LE(bytes, size);
    const bool terminated = !text.empty() && text.back() == L'\0';
    if (terminated) {
        text.pop_back();
    }
    std::wstring shown = DataText(log, text);
    if (!terminated) {
        shown += L" (no terminator)";
    }
    if (size % 2 != 0) {
        shown += base::Format(L" (an odd size, %u bytes)", size);
    }
    return shown;
}

std::wstring ListDataText(const CInstallLog* log, const uint8_t* bytes, uint32_t size) {
    std::wstring text = base::FromUtf16LE(bytes, size);
    // A whole list ends with an empty item: two null units.
    const bool terminated = text.size() >= 2 && text.compare(text.size() - 2, 2, L"\0\0", 2) == 0;
    if (terminated) {
        text.resize(text.size() - 2);
    } else if (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    std::wstring shown = L"[";
    for (size_t start = 0; !text.empty();) {
        const size_t end = text.find(L'\0', start);
        if (start > 0) {
            shown += L", ";
        }
        shown += DataText(
            log, text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) {
            break;
        }
        start = end + 1;
    }
    shown += L"]";
    if (!terminated) {
        shown += L" (not terminated)";
    }
    if (size % 2 != 0) {
        shown += base::Format(L" (an odd size, %u bytes)", size);
    }
    return shown;
}

}  // namespace

CInstallLog::CInstallLog(platform::System& system, platform::Files& files)
    : m_system(system), m_files(files) {}

CInstallLog::~CInstallLog() {
    Close();
}

bool CInstallLog::Open(const std::wstring& path) {
    platform::LastErrorKeeper keep(m_system);
    Close();
    if (path.empty()) {
        return false;
    }
    // Opened without being emptied, so that nothing is lost before the file is known to be
    // a plain one and an earlier log; write-through, so that each line is on the disk when
    // the write returns.
    const platform::FileHandle file = m_files.CreateFile(
        path, win::kGenericRead | win::kGenericWrite, win::kFileShareRead, win::kOpenAlways,
        win::kFileAttributeNormal | win::kFileFlagOpenReparsePoint | win::kFileFlagWriteThrough);
    if (!file) {
        return false;
    }
    const bool made = m_system.GetLastError() != win::kErrorAlreadyExists;
    platform::FileInformation identity;
    uint32_t written = 0;
    if (!IsPlainFile(m_files, file, &identity) || !MayOverwrite(m_files, file) ||
        !m_files.SetFilePointer(file, 0, win::kFileBegin, nullptr) || !m_files.SetEndOfFile(file) ||
        !m_files.WriteFile(file, kByteOrderMark, sizeof(kByteOrderMark), &written) ||
        written != sizeof(kByteOrderMark)) {
        m_files.CloseHandle(file);
        return false;
    }
    m_file = file;
    m_path = path;
    m_identity = identity;
    m_bMadeTheFile = made;
    return true;
}

bool CInstallLog::GiveWayTo(const std::wstring& path) {
    if (!m_file) {
        return false;
    }
    platform::LastErrorKeeper keep(m_system);
    // Opened for no access with every kind of sharing: it neither waits for nor disturbs
    // anybody, and a link is examined itself, not followed.
    const platform::FileHandle other = m_files.CreateFile(
        path, 0, win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete,
        win::kOpenExisting, win::kFileFlagOpenReparsePoint | win::kFileFlagBackupSemantics);
    if (!other) {
        return false;
    }
    platform::FileInformation information;
    const bool same = m_files.GetFileInformationByHandle(other, &information) &&
                      information.volumeSerial == m_identity.volumeSerial &&
                      information.fileIndex == m_identity.fileIndex;
    m_files.CloseHandle(other);
    if (!same) {
        return false;
    }
    m_files.SetFilePointer(m_file, 0, win::kFileBegin, nullptr);
    m_files.SetEndOfFile(m_file);
    Close();
    if (m_bMadeTheFile) {
        m_files.DeleteFile(m_path);
    }
    return true;
}

void CInstallLog::Close() {
    if (m_file) {
        platform::LastErrorKeeper keep(m_system);
        m_files.CloseHandle(m_file);
        m_file = platform::FileHandle();
    }
}

void CInstallLog::Write(const wchar_t* category, const std::wstring& text) {
    if (!m_file) {
        return;
    }
    platform::LastErrorKeeper keep(m_system);
    platform::SystemTime now;
    m_system.GetLocalTime(&now);
    std::wstring name = category != nullptr ? category : L"";
    if (name.size() < kCategoryWidth) {
        name.append(kCategoryWidth - name.size(), L' ');
    }
    const std::string bytes =
        base::ToUtf8(FormatLogTime(now) + L"  " + name + L"  " + text) + "\r\n";
    // One write per line, so that a line is never split by another; a log on a full disk
    // simply stops growing.
    uint32_t written = 0;
    m_files.WriteFile(m_file, bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
}

void CInstallLog::Conceal(const std::wstring& secret) {
    if (!secret.empty()) {
        m_secrets.push_back(secret);
    }
}

std::wstring CInstallLog::Data(const std::wstring& value) const {
    for (const std::wstring& secret : m_secrets) {
        if (value.find(secret) != std::wstring::npos) {
            return L"(hidden)";
        }
    }
    if (value.size() > kLargestDataChars) {
        return LogQuote(value.substr(0, kLargestDataChars)) +
               base::Format(L"... (%zu characters)", value.size());
    }
    return LogQuote(value);
}

void WriteLog(CInstallLog* log, const wchar_t* category, const std::wstring& text) {
    if (log != nullptr) {
        log->Write(category, text);
    }
}

std::wstring LogQuote(const std::wstring& text) {
    std::wstring out = L"\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const uint32_t c = static_cast<uint32_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const uint32_t next = static_cast<uint32_t>(text[i + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                out += text[i];
                out += text[++i];
                continue;
            }
        }
        if (c == L'\r') {
            out += L"<CR>";
        } else if (c == L'\n') {
            out += L"<LF>";
        } else if (c == L'\t') {
            out += L"<TAB>";
        } else if (IsShownAsName(c) || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            out += base::Format(L"<U+%04X>", c);
        } else {
            out += text[i];
        }
    }
    return out + L"\"";
}

std::wstring ErrorText(uint32_t error) {
    if (error == win::kErrorSuccess) {
        return L"ok";
    }
    for (const ErrorName& entry : kErrorNames) {
        if (entry.code == error) {
            return base::Format(L"error %u (%ls)", error, entry.name);
        }
    }
    return base::Format(L"error %u", error);
}

std::wstring HresultText(int32_t hr) {
    if (hr == 0) {
        return L"ok";
    }
    const uint32_t value = static_cast<uint32_t>(hr);
    if (hr > 0) {
        return base::Format(L"ok (0x%08x)", value);
    }
    // FACILITY_WIN32: the Windows error in the low word.
    if ((value & 0xFFFF0000u) == 0x80070000u) {
        return base::Format(L"0x%08x = %ls", value, ErrorText(value & 0xFFFFu).c_str());
    }
    return base::Format(L"0x%08x", value);
}

std::wstring RegistryDataText(const CInstallLog* log, uint32_t type, const void* data,
                              uint32_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (bytes == nullptr) {
        size = 0;
    }
    const wchar_t* name = TypeName(type);
    const std::wstring typeText = name != nullptr ? name : base::Format(L"type %u", type);
    switch (type) {
        case win::kRegSz:
        case win::kRegExpandSz:
            return typeText + L" " + StringDataText(log, bytes, size);
        case win::kRegMultiSz:
            return typeText + L" " + ListDataText(log, bytes, size);
        case win::kRegDword:
            if (size == 4) {
                const uint32_t value = bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                       static_cast<uint32_t>(bytes[3]) << 24;
                return base::Format(L"%ls 0x%08x (%u)", typeText.c_str(), value, value);
            }
            break;
        case win::kRegQword:
            if (size == 8) {
                uint64_t value = 0;
                for (int i = 7; i >= 0; --i) {
                    value = value << 8 | bytes[i];
                }
                return base::Format(L"%ls 0x%016llx", typeText.c_str(),
                                    static_cast<unsigned long long>(value));
            }
            break;
        default:
            break;
    }
    return typeText + L" " + BytesText(bytes, size);
}

std::wstring FormatLogTime(const platform::SystemTime& time) {
    return base::Format(L"%04u-%02u-%02u %02u:%02u:%02u.%03u", time.year, time.month, time.day,
                        time.hour, time.minute, time.second, time.milliseconds);
}
