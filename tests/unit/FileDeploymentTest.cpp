// File deployment: the folder creation level by level, the four copy rules with files in
// use, waiting ".del" files and read-only copies, and the file table run by the install
// sequence with files missing beside the program.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestMachine.h"
#include "Setup/engine/FileDeployment.h"
#include "Setup/engine/InstallWorker.h"
#include "Setup/res/resource.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

using enginetest::kInstallDir;
using enginetest::kSetupDir;
using enginetest::SourceContent;

std::wstring Installed(const wchar_t* name) {
    return std::wstring(kInstallDir) + L"\\" + name;
}

std::wstring Source(const wchar_t* name) {
    return std::wstring(kSetupDir) + L"\\" + name;
}

std::string TextOf(sim::Machine& m, const std::wstring& path) {
    const auto text = m.files().ReadText(path);
    return text ? *text : std::string("(missing)");
}

// Each level is created in turn; the result is that of creating the whole path, with its
// error left in the last-error value.
TEST(FileDeploymentTest, CreateFolderPathCreatesEveryLevel) {
    struct Case {
        const wchar_t* path;
        bool result;
        uint32_t error;                       // the last-error value when the result is false
        std::vector<const wchar_t*> folders;  // exist afterwards
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Vendor\\Suite\\Corvane",
         true,
         0,
         {L"C:\\Program Files\\Vendor", L"C:\\Program Files\\Vendor\\Suite",
          L"C:\\Program Files\\Vendor\\Suite\\Corvane"}},
        {L"C:\\a\\b\\c\\", false, win::kErrorAlreadyExists, {L"C:\\a\\b\\c"}},
        {L"C:\\x\\\\y", true, 0, {L"C:\\x", L"C:\\x\\y"}},
        {L"C:\\Windows", false, win::kErrorAlreadyExists, {L"C:\\Windows\\system32"}},
        {L"C:\\file.txt\\below", false, win::kErrorPathNotFound, {}},
        {L"Q:\\nowhere\\deep", false, win::kErrorPathNotFound, {}},
        {L"", false, win::kErrorPathNotFound, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(base::ToUtf8(c.path));
        sim::Machine m;
        m.files().AddFile(L"C:\\file.txt", "x");
        m.system().SetLastError(0xDEADBEEF);
        EXPECT_EQ(CreateFolderPath(m.files(), c.path), c.result);
        if (!c.result) {
            EXPECT_EQ(m.system().GetLastError(), c.error);
        }
        for (const wchar_t* folder : c.folders) {
            EXPECT_TRUE(m.files().IsDirectory(folder)) << base::ToUtf8(folder);
        }
    }
}

// The copy rules on one destination each, with what lay there before, each row copied by
// the rule the file table gives it.
TEST(FileDeploymentTest, CopyRules) {
    struct Case {
        const char* name;
        const wchar_t* file;
        std::function<void(sim::Machine&)> before;
        std::string content;  // the installed file afterwards
        bool aside;           // "<name>.del" exists afterwards
        std::string asideContent;
        size_t pending;  // deletions scheduled for the restart
    };
    const std::wstring keeper = Installed(L"Keeper.exe");
    const std::wstring keeperAside = keeper + L".del";
    const std::wstring menuExt = Installed(L"MenuExt.dll");
    const std::wstring lang = Installed(L"lang.ini");
    const std::wstring langIncoming = lang + L".new";
    const std::vector<Case> cases = {
        {"plain onto nothing", L"Corvane.exe", [](sim::Machine&) {}, SourceContent(L"Corvane.exe"),
         false, "", 0},
        {"plain over an earlier copy", L"Corvane.exe",
         [](sim::Machine& m) { m.files().AddFile(Installed(L"Corvane.exe"), "old"); },
         SourceContent(L"Corvane.exe"), false, "", 0},
        {"plain onto a running program keeps it", L"Corvane.exe",
         [](sim::Machine& m) {
             m.files().AddFile(Installed(L"Corvane.exe"), "old");
             m.files().SetInUse(Installed(L"Corvane.exe"));
         },
         "old", false, "", 0},
        {"replace-in-use, not running", L"Keeper.exe",
         [&](sim::Machine& m) { m.files().AddFile(keeper, "old"); }, SourceContent(L"Keeper.exe"),
         false, "", 0},
        {"replace-in-use, running: moved aside and deleted at the restart", L"Keeper.exe",
         [&](sim::Machine& m) {
             m.files().AddFile(keeper, "old");
             m.files().SetInUse(keeper);
         },
         SourceContent(L"Keeper.exe"), true, "old", 1},
        {"replace-in-use, running, an earlier .del waiting: the old file stays", L"Keeper.exe",
         [&](sim::Machine& m) {
             m.files().AddFile(keeper, "old");
             m.files().SetInUse(keeper);
             m.files().AddFile(keeperAside, "older");
         },
         "old", true, "older", 0},
        {"replace-in-use, locked against moving: the old file stays", L"Keeper.exe",
         [&](sim::Machine& m) {
             m.files().AddFile(keeper, "old");
             m.files().SetLocked(keeper);
         },
         "old", false, "", 0},
        {"replace-in-use, running, no new file beside the program: the old one stays",
         L"Keeper.exe",
         [&](sim::Machine& m) {
             m.files().AddFile(keeper, "old");
             m.files().SetInUse(keeper);
             m.files().DeleteFile(Source(L"Keeper.exe"));
         },
         "old", false, "", 0},
        {"replace-in-use, the shell extension held by Explorer: moved aside and deleted at the "
         "restart",
         L"MenuExt.dll",
         [&](sim::Machine& m) {
             m.files().AddFile(menuExt, "old");
             m.files().SetInUse(menuExt);
         },
         SourceContent(L"MenuExt.dll"), true, "old", 1},
        {"fresh over a read-only copy", L"lang.ini",
         [&](sim::Machine& m) {
             m.files().AddFile(lang, "old");
             m.files().SetAttributes(lang, win::kFileAttributeReadonly | win::kFileAttributeHidden);
         },
         SourceContent(L"lang.ini"), false, "", 0},
        {"fresh without a new file beside the program: the old copy stays", L"lang.ini",
         [&](sim::Machine& m) {
             m.files().AddFile(lang, "old");
             m.files().DeleteFile(Source(L"lang.ini"));
         },
         "old", false, "", 0},
        // The new copy is made beside the old one first: a copy that fails loses nothing.
        {"fresh, the copy fails on a full disk: the old copy stays", L"lang.ini",
         [&](sim::Machine& m) {
             m.files().AddFile(lang, "old");
             m.files().FailNext(sim::FileOp::CopyFile, win::kErrorDiskFull);
         },
         "old", false, "", 0},
        {"fresh, the old copy in use: it stays", L"lang.ini",
         [&](sim::Machine& m) {
             m.files().AddFile(lang, "old");
             m.files().SetInUse(lang);
         },
         "old", false, "", 0},
        {"fresh, a read-only new copy left by an earlier run is replaced too", L"lang.ini",
         [&](sim::Machine& m) {
             m.files().AddFile(lang, "old");
             m.files().AddFile(langIncoming, "half");
             m.files().SetAttributes(langIncoming, win::kFileAttributeReadonly);
         },
         SourceContent(L"lang.ini"), false, "", 0},
    };
    InstallerSettings settings;
    settings.SourceDir = kSetupDir;
    settings.InstallDir = kInstallDir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = enginetest::MakeMachine();
        m->files().MakeFolders(kInstallDir);
        c.before(*m);
        const std::wstring destination = Installed(c.file);
        const ProductFile* row = nullptr;
        for (const ProductFile& file : kProductFiles) {
            if (ProductFileDestination(settings, file) == destination) {
                row = &file;
            }
        }
        ASSERT_NE(row, nullptr);
        EXPECT_TRUE(DeployProductFile(m->files(), settings, *row));
        EXPECT_EQ(TextOf(*m, destination), c.content);
        const std::wstring aside = destination + L".del";
        EXPECT_EQ(m->files().Exists(aside), c.aside);
        if (c.aside) {
            EXPECT_EQ(TextOf(*m, aside), c.asideContent);
        }
        // The deletions of the ".del" file at the restart; a replace-in-use row also
        // schedules its new copy's move into place, in case the run stops between the
        // renames (when it does not, the move finds no ".new" at the restart).
        size_t deletions = 0;
        for (const sim::PendingRename& p : m->files().PendingRenames()) {
            if (p.destination.empty()) {
                EXPECT_TRUE(base::EqualsNoCase(p.source, aside));
                ++deletions;
            } else {
                EXPECT_EQ(row->rule, CopyRule::ReplaceInUse);
                EXPECT_TRUE(base::EqualsNoCase(p.source, destination + L".new"));
                EXPECT_TRUE(base::EqualsNoCase(p.destination, destination));
                EXPECT_TRUE(p.replaceExisting);
            }
        }
        EXPECT_EQ(deletions, c.pending);
        EXPECT_FALSE(m->files().Exists(destination + L".new"));
        if (row->rule == CopyRule::Fresh && c.content != "old") {
            EXPECT_EQ(m->files().Attributes(destination) & win::kFileAttributeReadonly, 0u);
        }
    }
}

// The file table as the install sequence runs it, silent, with files missing beside the
// program or left by an earlier installation.
TEST(FileDeploymentTest, TheFileTableInstallsWhatIsThere) {
    struct Case {
        const char* name;
        const wchar_t* missing;  // a source file that is not beside the program
        bool failed;
        bool earlierDriver = false;  // an earlier cvflt.sys that cannot be copied over
    };
    const Case cases[] = {
        {"everything there, over an earlier installation", nullptr, false},
        {"no Guide.chm: everything else is installed", L"Guide.chm", false},
        {"no Corvane.exe", L"Corvane.exe", false},
        {"no driver: rows 1 to 10 stay, Remove.exe is not copied", L"cvflt.sys", true},
        // The earlier filter lists name the driver: without its file the computer would not
        // start its disks, so the earlier one is neither moved nor deleted.
        {"the driver cannot be copied over the earlier one: the earlier one stays", nullptr, true,
         true},
    };
    const std::wstring driver = std::wstring(enginetest::kDriversDir) + L"\\cvflt.sys";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = enginetest::MakeMachine();
        for (const ProductFile& file : kProductFiles) {
            if (file.folder == DestinationFolder::InstallDir) {
                m->files().AddFile(Installed(file.destinationName + 1), "earlier");
            }
        }
        if (c.missing != nullptr) {
            m->files().DeleteFile(Source(c.missing));
        }
        if (c.earlierDriver) {
            m->files().AddFile(driver, "earlier");
            // The new copy is made beside the earlier one first.
            m->files().FailPath(driver + L".new", sim::FileOp::CopyFile, win::kErrorDiskFull);
        }
        if (c.failed) {
            m->ui().User().AnswerMessageBox(win::kIdOk);
        }
        InstallerSettings settings;
        SetupProcess process;
        RunInstall(m->platform(), settings, process, nullptr, 1);
        EXPECT_EQ(settings.InstallFailed, c.failed ? 1 : 0);

        for (size_t row = 0; row < kProductFileCount; ++row) {
            const ProductFile& file = kProductFiles[row];
            const std::wstring source = file.sourceName + 1;  // without its backslash
            const std::wstring destination = ProductFileDestination(settings, file);
            std::string expected = SourceContent(source);
            if (c.missing != nullptr && source == c.missing) {
                expected = file.folder == DestinationFolder::Drivers ? "(missing)" : "earlier";
            } else if (c.earlierDriver && file.folder == DestinationFolder::Drivers) {
                expected = "earlier";
            } else if (c.failed && row == 11) {
                expected = "earlier";  // Remove.exe comes after the driver
            }
            EXPECT_EQ(TextOf(*m, destination), expected) << base::ToUtf8(destination);
        }
        const auto boxes = m->ui().MessageBoxes();
        ASSERT_EQ(boxes.size(), c.failed ? 1u : 0u);
        if (c.failed) {
            EXPECT_EQ(boxes[0].text, m->ui().LoadString(IDS_COPY_FILE_FAILED));
            EXPECT_TRUE(m->registry().Writes().empty());
        }
        EXPECT_FALSE(m->files().Exists(driver + L".del"));
        EXPECT_TRUE(m->files().PendingRenames().empty());
    }
}

}  // namespace
