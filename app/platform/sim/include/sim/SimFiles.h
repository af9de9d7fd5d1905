// Simulated files of sim::Machine: an in-memory, case-insensitive file system over the
// drives of SimVolumes, with sparse file data, Windows' attribute, sharing and error rules,
// file and device handles, the private-profile (INI) functions, and set-up, failure
// injection and inspection for tests.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/Common.h"

namespace sim {

class Machine;

// The operations failure injection can target.
enum class FileOp {
    Any,
    CopyFile,
    MoveFile,
    MoveFileEx,
    DeleteFile,
    GetFileAttributes,
    SetFileAttributes,
    CreateDirectory,
    RemoveDirectory,
    FindFirstFile,
    FindNextFile,
    GetTempFileName,
    GetModuleFileName,
    CreateFile,
    CloseHandle,
    ReadFile,
    WriteFile,
    SetFilePointer,
    SetEndOfFile,
    GetFileSize,
    GetFileInformationByHandle,
    CreateHardLink,
    CreateSymbolicLink,
    GetPrivateProfileString,
    GetPrivateProfileInt,
    WritePrivateProfileString,
};

// A rename or deletion scheduled for the next restart (MoveFileEx with
// kMovefileDelayUntilReboot). |destination| is empty for a deletion.
struct PendingRename {
    std::wstring source;
    std::wstring destination;
    bool replaceExisting = false;
};

// What a file handle refers to; SimVolumes resolves device handles through it.
enum class OpenKind { File, Directory, Volume, Control, Overlay };

struct OpenObject {
    OpenKind kind = OpenKind::File;
    std::wstring opened;   // the path as passed to CreateFile
    std::wstring path;     // the full path of a file or folder
    wchar_t letter = 0;    // the drive of a file, folder or volume device
    uint32_t overlay = 0;  // the overlay number of an overlay device
    uint32_t access = 0;
    uint32_t share = 0;
    uint64_t position = 0;
    bool writeThrough = false;
};

class SimFiles : public platform::Files {
public:
    explicit SimFiles(Machine& machine);
    ~SimFiles() override;
    // Puts the default machine's state in place (called once by Machine's constructor).
    void InstallDefaults();

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
    bool GetFileInformationByHandle(FileHandle file,
                                    platform::FileInformation* information) override;
    bool CreateHardLink(const std::wstring& newName, const std::wstring& existing) override;
    // Symbolic links to files are followed when a path is opened (up to 31 links in a row,
    // then kErrorCantResolveFilename); a folder link is a folder entry that is not
    // followed into. Creating one needs no privilege here (setup runs as administrator).
    bool CreateSymbolicLink(const std::wstring& link, const std::wstring& target,
                            bool directory) override;
    uint32_t GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, std::wstring* value,
                                     uint32_t bufferChars, const std::wstring& file) override;
    uint32_t GetPrivateProfileInt(const std::wstring& section, const std::wstring& key,
                                  int32_t defaultValue, const std::wstring& file) override;
    bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& value, const std::wstring& file) override;

    // --- Test API: set-up (missing folders are created; drives must exist) ---
    bool AddFile(const std::wstring& path, const std::string& bytes);
    bool AddFile(const std::wstring& path, const std::vector<uint8_t>& bytes);
    // A file of |size| bytes of which nothing is stored (reads give zeros).
    bool AddSparseFile(const std::wstring& path, uint64_t size);
    // Creates every missing folder of |path| (which names a folder).
    bool MakeFolders(const std::wstring& path);
    void SetAttributes(const std::wstring& path, uint32_t attributes);
    // An in-use file (a running program): it cannot be opened for writing or copied over
    // (kErrorSharingViolation) nor deleted (kErrorAccessDenied), but it can be renamed.
    void SetInUse(const std::wstring& path, bool inUse = true);
    // A locked file: opening, copying over, moving and deleting it fail with
    // kErrorSharingViolation.
    void SetLocked(const std::wstring& path, bool locked = true);

    // --- Test API: inspection ---
    bool Exists(const std::wstring& path);
    bool IsDirectory(const std::wstring& path);
    std::optional<std::vector<uint8_t>> ReadBytes(const std::wstring& path);
    // The file's bytes as they are, in a std::string.
    std::optional<std::string> ReadText(const std::wstring& path);
    // |length| bytes from |offset| (zeros where nothing was written), cut at the end.
    std::optional<std::vector<uint8_t>> ReadRange(const std::wstring& path, uint64_t offset,
                                                  uint64_t length);
    uint32_t Attributes(const std::wstring& path);  // kInvalidFileAttributes when missing
    std::optional<uint64_t> Size(const std::wstring& path);
    // Bytes actually stored for the file (its written extents, in whole pages).
    uint64_t StoredBytes(const std::wstring& path);
    // Whether the last CreateFile of |path| asked for write-through.
    bool LastOpenWriteThrough(const std::wstring& path);
    // The compression state set by FSCTL_SET_COMPRESSION.
    bool IsCompressed(const std::wstring& path);
    // Handles currently open on |path|.
    int OpenCount(const std::wstring& path);
    // The number of names (hard links) of the file at |path|; 0 when there is none.
    uint32_t LinkCount(const std::wstring& path);
    // The target a symbolic link at |path| was given; empty when |path| is no link.
    std::wstring LinkTarget(const std::wstring& path);
    std::vector<PendingRename> PendingRenames();
    // Every stored path starting with |prefix| (case-insensitive), in sorted order.
    std::vector<std::wstring> List(const std::wstring& prefix = L"");

    // --- Test API: process state ---
    std::wstring ModulePath();
    void SetModulePath(const std::wstring& path);
    std::wstring CurrentDirectory();
    void SetCurrentDirectory(const std::wstring& path);
    // The Windows folder the profile functions use for bare file names.
    std::wstring WindowsFolder();
    void SetWindowsFolder(const std::wstring& path);

    // --- Test API: failure injection ---
    // The next |count| calls of |op| (FileOp::Any: of any operation) fail with |error|.
    void FailNext(FileOp op, uint32_t error, int count = 1);
    // The same once |after| calls of |op| have succeeded (the second write of a file...).
    void FailAfter(FileOp op, int after, uint32_t error, int count = 1);
    // The same with the operation named as in the port ("CopyFile", "CreateFile"...).
    void FailNext(const std::string& opName, uint32_t error, int count = 1);
    // Calls of |op| involving a path matching |pattern| (a full path, case-insensitive,
    // with * and ? wildcards) fail with |error|; |count| < 0 means every time.
    void FailPath(const std::wstring& pattern, FileOp op, uint32_t error, int count = -1);
    void ClearFailures();

    // --- Shared with SimVolumes ---
    const OpenObject* FindOpen(FileHandle file);
    void SetCompressed(const std::wstring& path, bool compressed);

private:
    // What a file's names share: every hard link of a file refers to the same content.
    struct Content {
        uint64_t index = 0;       // the file's identity (GetFileInformationByHandle)
        uint32_t attributes = 0;  // kFileAttribute* bits (directory bit for folders)
        uint64_t size = 0;
        std::map<uint64_t, std::vector<uint8_t>> pages;  // page index -> page bytes
        bool inUse = false;
        bool locked = false;
        bool compressed = false;
    };
    // One name in the file system.
    struct Node {
        std::wstring path;  // full path in the case it was created with
        bool directory = false;
        std::shared_ptr<Content> content = std::make_shared<Content>();
        // A symbolic link's target as it was given; empty for everything else.
        std::wstring linkTarget;
        bool lastOpenWriteThrough = false;
    };
    enum class Target { Path, Volume, Control, Overlay };
    struct Resolved {
        Target target = Target::Path;
        uint32_t error = 0;  // non-zero: the path is unusable
        std::wstring full;   // "C:\dir\name" ("C:\" for a root)
        wchar_t letter = 0;
        uint32_t overlay = 0;
        bool trailingSeparator = false;
        bool longForm = false;  // given with \\?\ (no length limit)
    };
    struct Failure {
        FileOp op;
        uint32_t error;
        int count;
        std::wstring pattern;  // empty: FailNext
        int skip = 0;          // matching calls let through first
    };
    struct Find {
        std::vector<FindData> entries;
        size_t next = 0;
    };

    // Path handling.
    Resolved Resolve(const std::wstring& path);
    static std::wstring KeyOf(const std::wstring& full);
    static std::wstring ParentOf(const std::wstring& full);
    static std::wstring NameOf(const std::wstring& full);
    static bool IsRoot(const std::wstring& full) { return full.size() == 3; }
    // Checks the drive of |r| (kErrorPathNotFound / kErrorNotReady) and its length.
    uint32_t CheckDrive(const Resolved& r);
    Node* Lookup(const std::wstring& full);
    // The checks ReadFile and WriteFile share (|op| is one of them): a known handle of a file
    // opened for that kind of access, not failed by injection, with a buffer when one is
    // needed. Sets the last error and returns false otherwise.
    bool BeginTransfer(FileHandle file, FileOp op, bool hasBuffer, OpenObject** object,
                       Node** node);
    bool FolderExists(const std::wstring& full);
    // The node a path names once symbolic links to files are followed (|full| itself when
    // it is no link); |error| is set when a link's target cannot be resolved.
    std::wstring FollowLinks(const std::wstring& full, uint32_t* error);
    uint32_t CountLinks(const Content* content);
    // The error for a missing |full|: kErrorFileNotFound when its folder exists.
    uint32_t MissingError(const std::wstring& full);
    std::vector<Node*> Children(const std::wstring& folder);

    // Injection: true (and the last error set) when the call must fail.
    bool Injected(FileOp op, std::initializer_list<const std::wstring*> paths);
    bool Fail(uint32_t error);

    // Data.
    static void WriteData(Node& node, uint64_t offset, const uint8_t* bytes, size_t count);
    static void ReadData(const Node& node, uint64_t offset, uint8_t* out, size_t count);
    static void Resize(Node& node, uint64_t size);
    // Reserves |newSize| - old size bytes on the node's drive (kErrorDiskFull).
    bool Reserve(const std::wstring& full, uint64_t oldSize, uint64_t newSize);
    void Release(const std::wstring& full, uint64_t bytes);
    Node& CreateNode(const std::wstring& full, bool directory, uint32_t attributes);
    void EraseNode(const std::wstring& full);
    bool AddFileData(const std::wstring& path, const uint8_t* bytes, size_t count,
                     uint64_t sparseSize);

    // Sharing.
    bool ShareConflict(const std::wstring& full, uint32_t access, uint32_t share);
    bool HasOpenHandles(const std::wstring& full, bool withoutShareDelete);

    bool DoMove(const std::wstring& source, const std::wstring* destination, uint32_t flags);
    bool ScheduleRename(const std::wstring& source, const std::wstring* destination,
                        uint32_t flags);

    // Profiles.
    std::wstring ProfilePath(const std::wstring& file);
    bool ReadProfileText(const std::wstring& full, std::wstring* text, bool* unicode,
                         uint32_t* error);

    Machine& machine_;
    std::map<std::wstring, Node> nodes_;  // key: upper-cased full path
    std::map<std::uintptr_t, OpenObject> handles_;
    std::map<std::uintptr_t, Find> finds_;
    std::vector<Failure> failures_;
    std::vector<PendingRename> pending_;
    std::wstring modulePath_ = L"C:\\Setup\\Setup.exe";
    std::wstring currentDirectory_ = L"C:\\Setup";
    std::wstring windowsFolder_ = L"C:\\Windows";
    uint32_t nextTempUnique_ = 0;
    uint64_t nextFileIndex_ = 0x10000;
};

}  // namespace sim
