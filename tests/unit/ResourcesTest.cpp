// The setup program's compiled resources (Setup.rc built by the MinGW resource compiler and
// embedded in the host build), read through the simulated Windows' resource parser: every
// page template and string in both languages, the images, the manifest, the platform's
// language choice, and the parser's handling of malformed data.
#include "sim/SimResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Setup/res/EmbeddedRes.h"
#include "Setup/res/resource.h"
#include "base/Text.h"

namespace {

using sim::DialogTemplate;
using sim::SimResources;

// Window, dialog and control styles (values of the Windows SDK).
constexpr uint32_t kWsPopup = 0x80000000;
constexpr uint32_t kChild = 0x40000000;
constexpr uint32_t kVisible = 0x10000000;
constexpr uint32_t kDisabled = 0x08000000;
constexpr uint32_t kWsCaption = 0x00C00000;
constexpr uint32_t kBorder = 0x00800000;
constexpr uint32_t kVScroll = 0x00200000;
constexpr uint32_t kWsSysMenu = 0x00080000;
constexpr uint32_t kGroup = 0x00020000;
constexpr uint32_t kTabStop = 0x00010000;
constexpr uint32_t kDsSetFont = 0x40;
constexpr uint32_t kDsFixedSys = 0x08;
constexpr uint32_t kDsModalFrame = 0x80;
constexpr uint32_t kWsExAppWindow = 0x00040000;

constexpr uint32_t kPush = kChild | kVisible | kTabStop | 0x0;             // BS_PUSHBUTTON
constexpr uint32_t kDefPush = kChild | kVisible | kTabStop | 0x1;          // BS_DEFPUSHBUTTON
constexpr uint32_t kCheck = kChild | kVisible | kTabStop | 0x3;            // BS_AUTOCHECKBOX
constexpr uint32_t kRadio = kChild | kVisible | kTabStop | 0x9;            // BS_AUTORADIOBUTTON
constexpr uint32_t kText = kChild | kVisible | 0x0;                        // SS_LEFT
constexpr uint32_t kTitle = kChild | kVisible | 0xC;                       // SS_LEFTNOWORDWRAP
constexpr uint32_t kBitmap = kChild | kVisible | 0xE;                      // SS_BITMAP
constexpr uint32_t kLine = kChild | kVisible | 0x10;                       // SS_ETCHEDHORZ
constexpr uint32_t kEdit = kChild | kVisible | kTabStop | kBorder | 0x80;  // ES_AUTOHSCROLL
// ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL, no scroll bars.
constexpr uint32_t kSummary = kChild | kVisible | kTabStop | kBorder | 0x4 | 0x800 | 0x80;
// ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL with a vertical scroll bar.
constexpr uint32_t kRichText =
    kChild | kVisible | kTabStop | kBorder | kVScroll | 0x4 | 0x800 | 0x40;
// LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT with a vertical scroll bar.
constexpr uint32_t kList = kChild | kVisible | kTabStop | kBorder | kVScroll | 0x2 | 0x1 | 0x100;
constexpr uint32_t kProgress = kChild | kVisible;

struct Control {
    int32_t id;
    const wchar_t* className;
    uint32_t style;
    int16_t x, y, cx, cy;
    uint16_t bitmap;         // the image of an SS_BITMAP static (title ordinal)
    const wchar_t* english;  // null for bitmaps
    const wchar_t* chinese;
    int16_t chineseCx;  // 0: as in English
};

struct StringRow {
    uint32_t id;
    const wchar_t* english;
    const wchar_t* chinese;
};

std::string U8(const std::wstring& s) {
    return base::ToUtf8(s);
}

// 101: CWelcomeDlg
const Control kWelcome[] = {
    {1000, L"Button", kDefPush, 223, 203, 50, 14, 0, L"&Next >", L"下一步(&N) >", 0},
    {2, L"Button", kPush, 279, 203, 50, 14, 0, L"Cancel", L"取消", 0},
    {-1, L"Static", kBitmap, 0, 0, 109, 193, 129, nullptr, nullptr, 0},
    {1002, L"Static", kText, 118, 10, 208, 38, 0, L"Welcome to the <PRODUCT> Setup Wizard",
     L"欢迎使用 <PRODUCT> 安装向导", 0},
    {1003, L"Static", kText, 118, 56, 208, 126, 0,
     L"This will install <PRODUCT> <VERSION> on your computer.\n\nIt is recommended that you close "
     L"all other applications before continuing.\n\nClick Next to continue, or Cancel to exit "
     L"Setup.",
     L"本安装向导将安装 <PRODUCT> <VERSION> "
     L"到您的计算机中。\n\n建议您在安装之前退出所有正在运行的程序。\n\n继续安装请点击“下一步”， "
     L"或者点击“取消”退出安装程序。",
     0},
    {1004, L"Static", kLine, 0, 192, 345, 1, 0, L"", L"", 0},
};

// 102: CLicenseDlg
const Control kLicense[] = {
    {1000, L"Button", kDefPush | kDisabled, 223, 203, 50, 14, 0, L"&Next >", L"下一步(&N) >", 0},
    {2, L"Button", kPush, 279, 203, 50, 14, 0, L"Cancel", L"取消", 0},
    {1002, L"Static", kTitle, 14, 6, 272, 8, 0, L"License Agreement", L"最终用户许可协议", 0},
    {1003, L"Static", kText, 32, 16, 254, 16, 0,
     L"Please read the following import information before continue:",
     L"在继续操作之前，请阅读下面的重要信息：", 0},
    {1004, L"Static", kLine, 1, 36, 335, 1, 0, L"", L"", 0},
    {1005, L"RichEdit20W", kRichText, 14, 47, 307, 120, 0, L"", L"", 0},
    {1006, L"Button", kCheck, 14, 175, 92, 10, 0, L"I &accept this agreement",
     L"我接受这个协议(&A)", 82},
    {-1, L"Static", kLine, 1, 192, 335, 1, 0, L"", L"", 0},
    {1001, L"Button", kPush, 172, 203, 50, 14, 0, L"< &Back", L"< 上一步(&B)", 0},
    {-1, L"Static", kBitmap, 296, 1, 37, 34, 130, nullptr, nullptr, 0},
};

// 103: CUserInformationDlg
const Control kUserInformation[] = {
    {1000, L"Button", kDefPush, 223, 203, 50, 14, 0, L"&Next >", L"下一步(&N) >", 0},
    {2, L"Button", kPush, 279, 203, 50, 14, 0, L"Cancel", L"取消", 0},
    {1002, L"Static", kTitle, 14, 6, 272, 8, 0, L"User Information", L"用户信息", 0},
    {1003, L"Static", kText, 32, 16, 254, 16, 0, L"Please enter your information.",
     L"请输入您的信息。", 0},
    {-1, L"Static", kBitmap, 296, 1, 37, 34, 130, nullptr, nullptr, 0},
    {1004, L"Static", kLine, 1, 36, 335, 1, 0, L"", L"", 0},
    {-1, L"Static", kText, 43, 59, 248, 8, 0, L"&User Name:", L"用户名(&U):", 0},
    {1007, L"Edit", kEdit, 43, 71, 248, 14, 0, L"", L"", 0},
    {-1, L"Static", kText, 44, 94, 248, 8, 0, L"&Organization:", L"组织(&O):", 0},
    {1008, L"Edit", kEdit, 44, 105, 248, 14, 0, L"", L"", 0},
    {-1, L"Static", kLine, 1, 192, 335, 1, 0, L"", L"", 0},
    {1001, L"Button", kPush, 172, 203, 50, 14, 0, L"< &Back", L"< 上一步(&B)", 0},
};

// 136: CStartMenuFolderDlg
const Control kStartMenuFolder[] = {
    {1000, L"Button", kDefPush, 223, 203, 50, 14, 0, L"&Next >", L"下一步(&N) >", 0},
    {2, L"Button", kPush, 279, 203, 50, 14, 0, L"Cancel", L"取消", 0},
    {1002, L"Static", kTitle, 14, 6, 272, 8, 0, L"Choose Start Menu Folder", L"选择开始菜单目录",
     0},
    {1003, L"Static", kText, 32, 16, 254, 16, 0,
     L"Choose a Start Menu folder for the <PRODUCT> <VERSION> shortcuts.",
     L"选择您要保存 <PRODUCT> <VERSION> 快捷方式的开始菜单目录。", 0},
    {-1, L"Static", kBitmap, 296, 1, 37, 34, 130, nullptr, nullptr, 0},
    {1004, L"Static", kLine, 1, 36, 335, 1, 0, L"", L"", 0},
    {-1, L"Static", kText, 43, 45, 248, 23, 0,
     L"Select the Start Menu folder in which you would like to create the program's shortcuts. You "
     L"can also enter a name to create a new folder.",
     L"选择您要保存程序快捷方式的开始菜单目录，您也可以输入一个目录名。", 0},
    {-1, L"Static", kLine, 1, 192, 335, 1, 0, L"", L"", 0},
    {1001, L"Button", kPush, 172, 203, 50, 14, 0, L"< &Back", L"< 上一步(&B)", 0},
    {1016, L"Edit", kEdit, 43, 71, 248, 14, 0, L"", L"", 0},
    {1015, L"ListBox", kList, 43, 87, 248, 95, 0, L"", L"", 0},
};

// 104: CAdditionalTaskDlg
const Control kAdditionalTask[] = {
    {1000, L"Button", kDefPush, 223, 203, 50, 14, 0, L"&Next >", L"下一步(&N) >", 0},
    {2, L"Button", kPush, 279, 203, 50, 14, 0, L"Cancel", L"取消", 0},
    {1002, L"Static", kTitle, 14, 6, 272, 8, 0, L"Select Additional Tasks", L"附加任务", 0},
    {1003, L"Static", kText, 32, 16, 254, 16, 0, L"Which additional tasks should be performed?",
     L"请选择需要安装的附加任务。", 0},
    {-1, L"Static", kBitmap, 296, 1, 37, 34, 130, nullptr, nullptr, 0},
    {1004, L"Static", kLine, 1, 36, 335, 1, 0, L"", L"", 0},
    {-1, L"Static", kText, 32, 51, 271, 20, 0,
     L"Select the additional tasks you would like Setup to perform while installing Corvane, then "
     L"click Next.",
     L"选择在安装 <PRODUCT> 时执行的附加任务, 然后单击“下一步”。", 0},
    {-1, L"Static", kText, 32, 78, 53, 8, 0, L"Additional icons:", L"可选快捷方式:", 52},
    {1009, L"Button", kCheck, 32, 93, 86, 10, 0, L"Create a &desktop icon", L"创建桌面快捷方式(&D)",
     90},
    {1010, L"Button", kCheck, 32, 108, 103, 10, 0, L"Create a &Quick Launch icon",
     L"创建快速启动栏图标(&Q)", 99},
    {-1, L"Static", kLine, 1, 192, 335, 1, 0, L"", L"", 0},
    {1001, L"Button", kPush, 172, 203, 50, 14, 0, L"< &Back", L"< 上一步(&B)", 0},
};

// 105: CReadyDlg
const Control kReady[] = {
    {1000, L"Button", kDefPush, 223, 203, 50, 14, 0, L"&Install", L"安装(&I)", 0},
    {2, L"Button", kPush, 279, 203, 50, 14, 0, L"Cancel", L"取消", 0},
    {1002, L"Static", kTitle, 14, 6, 272, 8, 0, L"Ready to Install", L"开始准备安装", 0},
    {1003, L"Static", kText, 32, 16, 254, 16, 0,
     L"Setup is now ready to begin installing <PRODUCT> on your computer.",
     L"安装程序准备在您的电脑中安装 <PRODUCT>。", 0},
    {1004, L"Static", kLine, 1, 36, 335, 1, 0, L"", L"", 0},
    {-1, L"Static", kText, 32, 51, 271, 20, 0,
     L"Click Install to continue with the installation, or click Back if you want to review or "
     L"change any settings.",
     L"要返回并修改设置请点击“上一步”，或者点击“安装”继续操作。", 0},
    {1009, L"Edit", kSummary, 32, 72, 271, 108, 0, L"", L"", 0},
    {-1, L"Static", kLine, 1, 192, 335, 1, 0, L"", L"", 0},
    {1001, L"Button", kPush, 172, 203, 50, 14, 0, L"< &Back", L"< 上一步(&B)", 0},
    {-1, L"Static", kBitmap, 296, 1, 37, 34, 130, nullptr, nullptr, 0},
};

// 106: CRunningDlg
const Control kRunning[] = {
    {1000, L"Button", kDefPush | kDisabled, 223, 203, 50, 14, 0, L"&Next >", L"下一步(&N) >", 0},
    {2, L"Button", kPush | kDisabled, 279, 203, 50, 14, 0, L"Cancel", L"取消", 0},
    {1002, L"Static", kTitle, 14, 6, 272, 8, 0, L"Installing", L"正在安装", 0},
    {1003, L"Static", kText, 32, 16, 254, 16, 0,
     L"<PRODUCT> <VERSION> is being installed, please wait ...",
     L"<PRODUCT> <VERSION> 正在安装中，请稍候 ...", 0},
    {-1, L"Static", kBitmap, 296, 1, 37, 34, 130, nullptr, nullptr, 0},
    {1004, L"Static", kLine, 1, 36, 335, 1, 0, L"", L"", 0},
    {1011, L"Static", kText, 32, 54, 272, 8, 0, L"Please wait ...", L"请稍候 ...", 0},
    {1012, L"msctls_progress32", kProgress, 32, 67, 272, 14, 0, L"", L"", 0},
    {-1, L"Static", kLine, 1, 192, 335, 1, 0, L"", L"", 0},
    {1001, L"Button", kPush | kDisabled, 172, 203, 50, 14, 0, L"< &Back", L"< 上一步(&B)", 0},
};

// 107: CFinishDlg
const Control kFinish[] = {
    {1000, L"Button", kDefPush, 223, 203, 50, 14, 0, L"&Finish", L"完成(&F)", 0},
    {2, L"Button", kPush | kDisabled, 279, 203, 50, 14, 0, L"Cancel", L"取消", 0},
    {-1, L"Static", kBitmap, 0, 0, 109, 193, 129, nullptr, nullptr, 0},
    {1002, L"Static", kText, 118, 10, 208, 38, 0, L"Completing the <PRODUCT> Setup Wizard",
     L"完成 <PRODUCT> 安装向导", 0},
    {1003, L"Static", kText, 118, 56, 208, 49, 0,
     L"<PRODUCT> <VERSION> has been installed on your computer.\n\nTo complete the installation of "
     L"<PRODUCT>, Setup must restart your computer.\n\nWould you like to restart now?",
     L"<PRODUCT> <VERSION> 已经安装到您的计算机中。\n\n要完成 <PRODUCT> 的安装, "
     L"安装程序需要重新启动计算机。\n\n您现在就重启吗？",
     0},
    {1013, L"Button", kRadio | kGroup, 127, 120, 114, 10, 0, L"&Yes, restart the computer now",
     L"(&Y)是，现在就重启计算机", 105},
    {1014, L"Button", kRadio, 127, 136, 129, 10, 0, L"&No, I will restart the computer later",
     L"(&N)不，稍后重启计算机", 98},
    {1004, L"Static", kLine, 0, 192, 345, 1, 0, L"", L"", 0},
    {1001, L"Button", kPush | kDisabled, 172, 203, 50, 14, 0, L"< &Back", L"< 上一步(&B)", 0},
};

const StringRow kStrings[] = {
    {140,
     L"Setup is not complete. If you exit now, the program will not be installed.\n\nYou may run "
     L"Setup again at another time to complete the installation.\n\nExit Setup?",
     L"安装还没有完成。如果现在退出，程序将不会安装到您计算机中。\n\n您可以随时运行安装程序以完成安"
     L"装。\n\n现在退出吗?"},
    {141, L"Copy file failed!", L"复制文件失败，请您稍后再试。"},
    {144, L"Sorry, Corvane doesn't support tihs operation system.",
     L"对不起，本程序无法安装在本系统上。"},
    {145, L"Please install when your OS is not in Veil Mode.", L"在Veil模式下，安装程序无法安装。"},
    {146, L"Please close Corvane main interface.", L"检测到程序还在运行，请先退出程序。"},
    {147, L"Copying files ...", L"复制文件 ..."},
    {148, L"Creating registry entries ...", L"设置注册表 ..."},
    {149, L"Creating shortcuts ...", L"创建快捷方式 ..."},
    {150, L"Registering production information ...", L"注册产品信息 ..."},
    {151, L"Initializing the environment...", L"初始化环境 ..."},
    {152, L"User Information:", L"用户信息："},
    {153, L"Start Menu folder:", L"开始菜单目录："},
    {154, L"Additional tasks:", L"附加任务："},
    {155, L"Additional icons:", L"附加图标："},
    {156, L"Create a desktop icon", L"创建桌面快捷方式"},
    {157, L"Create a Quick Launch icon", L"创建快速启动栏快捷方式"},
    {158,
     L"Corvane maybe not working because KB2763674 hotfix is not found in this computer. Do you "
     L"want to continue?",
     L"未能检测到补丁包KB2763674，本软件可能无法正常运行，是否继续？"},
    {159,
     L"Corvane maybe not working because KB3185278 and KB3125574 are not found in this computer. "
     L"Do you want to continue?",
     L"未能检测到补丁包KB3185278和KB3125574，本软件可能无法正常运行，是否继续？"},
};

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        size_t size = 0;
        const unsigned char* bytes = EmbeddedSetupRes(&size);
        std::string error;
        ASSERT_TRUE(res_.Load(bytes, size, &error)) << error;
    }

    DialogTemplate Dialog(uint16_t id, uint16_t language) {
        DialogTemplate t;
        std::string error;
        EXPECT_TRUE(res_.LoadDialog(id, language, &t, &error)) << id << ": " << error;
        return t;
    }

    // Checks the controls of template |id| in both languages against |rows|.
    template <size_t N>
    void CheckControls(uint16_t id, const Control (&rows)[N]) {
        for (uint16_t lang : {win::kLangEnglishUs, win::kLangChineseSimplified}) {
            bool zh = lang == win::kLangChineseSimplified;
            // The variant exists under its own language.
            ASSERT_NE(res_.Find(sim::kRtDialog, id, lang), nullptr) << id << "/" << lang;
            DialogTemplate t = Dialog(id, lang);
            ASSERT_EQ(t.items.size(), N) << "dialog " << id << " language " << lang;
            for (size_t i = 0; i < N; ++i) {
                const Control& want = rows[i];
                const sim::DialogItem& got = t.items[i];
                std::string where = "dialog " + std::to_string(id) + " language " +
                                    std::to_string(lang) + " control #" + std::to_string(i) +
                                    " (id " + std::to_string(want.id) + ")";
                EXPECT_EQ(got.SignedId(), want.id) << where;
                // Window class names compare ignoring case (the resource compiler stores
                // the custom class names in capitals).
                EXPECT_TRUE(base::EqualsNoCase(got.className, want.className))
                    << where << ": got " << U8(got.className) << " expected " << U8(want.className);
                EXPECT_EQ(got.style, want.style)
                    << where << std::hex << ": got 0x" << got.style << " expected 0x" << want.style;
                EXPECT_EQ(got.exStyle, 0u) << where;
                int16_t cx = zh && want.chineseCx ? want.chineseCx : want.cx;
                EXPECT_EQ(std::vector<int>({got.x, got.y, got.cx, got.cy}),
                          std::vector<int>({want.x, want.y, cx, want.cy}))
                    << where;
                if (want.bitmap) {
                    EXPECT_TRUE(got.titleIsOrdinal) << where;
                    EXPECT_EQ(got.titleOrdinal, want.bitmap) << where;
                } else {
                    const wchar_t* text = zh ? want.chinese : want.english;
                    EXPECT_FALSE(got.titleIsOrdinal) << where;
                    EXPECT_EQ(got.title, text) << where << ": got \"" << U8(got.title)
                                               << "\" expected \"" << U8(text) << "\"";
                }
                EXPECT_TRUE(got.extra.empty()) << where;
            }
        }
    }

    SimResources res_;
};

const uint16_t kPages[] = {IDD_WELCOME, IDD_LICENSE, IDD_USERINFO, IDD_ADDITIONALTASK,
                           IDD_READY,   IDD_RUNNING, IDD_FINISH,   IDD_STARTMENUFOLDER};

TEST_F(ResourcesTest, EveryPageSharesTheWindowProperties) {
    const uint32_t style =
        kDsSetFont | kDsFixedSys | kDsModalFrame | kWsPopup | kVisible | kWsCaption | kWsSysMenu;
    for (uint16_t id : kPages) {
        for (uint16_t lang : {win::kLangEnglishUs, win::kLangChineseSimplified}) {
            DialogTemplate t = Dialog(id, lang);
            std::string where = "dialog " + std::to_string(id) + "/" + std::to_string(lang);
            EXPECT_EQ(t.style, style) << where << std::hex << " got 0x" << t.style;
            EXPECT_EQ(t.exStyle, kWsExAppWindow) << where;
            EXPECT_EQ(std::vector<int>({t.x, t.y, t.cx, t.cy}), std::vector<int>({0, 0, 335, 225}))
                << where;
            EXPECT_TRUE(t.menu.isOrdinal && t.menu.ordinal == 0) << where;
            EXPECT_TRUE(t.windowClass.isOrdinal && t.windowClass.ordinal == 0) << where;
            EXPECT_EQ(t.title, lang == win::kLangEnglishUs ? L"Setup - <PRODUCT>"
                                                           : L"\u5B89\u88C5 - <PRODUCT>")
                << where << ": got " << U8(t.title);
            EXPECT_TRUE(t.hasFont) << where;
            EXPECT_EQ(t.pointSize, 8) << where;
            EXPECT_EQ(t.typeface, L"MS Shell Dlg") << where;
            EXPECT_EQ(t.italic, 0) << where;
        }
    }
}

TEST_F(ResourcesTest, WelcomePage) {
    CheckControls(IDD_WELCOME, kWelcome);
}
TEST_F(ResourcesTest, LicensePage) {
    CheckControls(IDD_LICENSE, kLicense);
}
TEST_F(ResourcesTest, UserInformationPage) {
    CheckControls(IDD_USERINFO, kUserInformation);
}
TEST_F(ResourcesTest, StartMenuFolderPage) {
    CheckControls(IDD_STARTMENUFOLDER, kStartMenuFolder);
}
TEST_F(ResourcesTest, AdditionalTasksPage) {
    CheckControls(IDD_ADDITIONALTASK, kAdditionalTask);
}
TEST_F(ResourcesTest, ReadyPage) {
    CheckControls(IDD_READY, kReady);
}
TEST_F(ResourcesTest, RunningPage) {
    CheckControls(IDD_RUNNING, kRunning);
}
TEST_F(ResourcesTest, FinishPage) {
    CheckControls(IDD_FINISH, kFinish);
}

TEST_F(ResourcesTest, PageLanguageFollowsTheUserInterfaceLanguage) {
    struct Row {
        uint16_t uiLanguage;
        const wchar_t* next;  // the Welcome page's Next button
    } rows[] = {
        {2052, L"\u4E0B\u4E00\u6B65(&N) >"},  // Simplified Chinese
        {1033, L"&Next >"},                   // English
        {1031, L"&Next >"},                   // German
        {1041, L"&Next >"},                   // Japanese
        {1028, L"&Next >"},                   // Traditional Chinese
        {0, L"&Next >"},
    };
    for (const Row& r : rows) {
        DialogTemplate t = Dialog(IDD_WELCOME, r.uiLanguage);
        ASSERT_FALSE(t.items.empty()) << r.uiLanguage;
        EXPECT_EQ(t.items[0].title, r.next) << "ui language " << r.uiLanguage << ": got "
                                            << U8(t.items[0].title) << " expected " << U8(r.next);
    }
    DialogTemplate missing;
    EXPECT_FALSE(res_.LoadDialog(108, win::kLangEnglishUs, &missing));
}

TEST_F(ResourcesTest, StringsInBothLanguages) {
    for (const StringRow& r : kStrings) {
        struct Lookup {
            uint16_t uiLanguage;
            const wchar_t* expected;
        } lookups[] = {{win::kLangEnglishUs, r.english},
                       {win::kLangChineseSimplified, r.chinese},
                       {1031, r.english},
                       {1041, r.english}};
        for (const Lookup& l : lookups) {
            std::wstring got;
            EXPECT_TRUE(res_.LoadString(r.id, l.uiLanguage, &got)) << r.id;
            EXPECT_EQ(got, l.expected)
                << "string " << r.id << " ui language " << l.uiLanguage << ": got \"" << U8(got)
                << "\" expected \"" << U8(l.expected) << "\"";
        }
    }
    // Both blocks (ids 128-143 and 144-159) exist in each language.
    for (uint16_t block : {9, 10}) {
        EXPECT_NE(res_.Find(sim::kRtString, block, win::kLangEnglishUs), nullptr) << block;
        EXPECT_NE(res_.Find(sim::kRtString, block, win::kLangChineseSimplified), nullptr) << block;
    }
    // Ids in the blocks without a string, and ids of no block, are not found. (160, the
    // options box's, begins the next block; its test is CheckRunTest's.)
    for (uint32_t id : {128u, 139u, 142u, 143u, 161u, 176u, 61715u, 61717u}) {
        std::wstring got;
        EXPECT_FALSE(res_.LoadString(id, win::kLangEnglishUs, &got)) << id << ": " << U8(got);
        EXPECT_FALSE(res_.LoadString(id, win::kLangChineseSimplified, &got)) << id;
    }
}

TEST_F(ResourcesTest, FrameworkStringIsEnglishOnly) {
    const uint16_t block = IDS_PARSE_STRING_SIZE / 16 + 1;
    EXPECT_NE(res_.Find(sim::kRtString, block, win::kLangEnglishUs), nullptr);
    EXPECT_EQ(res_.Find(sim::kRtString, block, win::kLangChineseSimplified), nullptr);
    for (uint16_t lang : {win::kLangEnglishUs, win::kLangChineseSimplified}) {
        std::wstring got;
        EXPECT_TRUE(res_.LoadString(IDS_PARSE_STRING_SIZE, lang, &got)) << lang;
        EXPECT_EQ(got, L"Enter no more than %1 characters.") << lang << ": " << U8(got);
    }
}

TEST_F(ResourcesTest, Bitmaps) {
    struct Row {
        uint16_t id;
        int32_t width, height;
    } rows[] = {{IDB_WELCOME, 164, 313}, {IDB_HEADER, 55, 55}};
    for (const Row& r : rows) {
        const sim::ResEntry* e = res_.FindForUiLanguage(sim::kRtBitmap, r.id, 0);
        ASSERT_NE(e, nullptr) << r.id;
        sim::BitmapInfo info;
        std::string error;
        ASSERT_TRUE(sim::ParseBitmapInfo(e->data.data(), e->data.size(), &info, &error))
            << r.id << ": " << error;
        EXPECT_EQ(std::vector<int>({info.width, info.height, info.planes, info.bitCount,
                                    static_cast<int>(info.compression)}),
                  std::vector<int>({r.width, r.height, 1, 24, 0}))
            << "bitmap " << r.id;
        // Header, no palette, bottom-up rows padded to four bytes.
        size_t stride = (static_cast<size_t>(r.width) * 3 + 3) / 4 * 4;
        EXPECT_EQ(e->data.size(), 40 + stride * r.height) << "bitmap " << r.id;
    }
}

TEST_F(ResourcesTest, ApplicationIconHasNineImages) {
    const sim::ResEntry* group = res_.FindForUiLanguage(sim::kRtGroupIcon, IDR_MAINFRAME, 0);
    ASSERT_NE(group, nullptr);
    std::vector<sim::IconGroupEntry> entries;
    std::string error;
    ASSERT_TRUE(sim::ParseIconGroup(group->data.data(), group->data.size(), &entries, &error))
        << error;
    ASSERT_EQ(entries.size(), 9u);
    std::set<std::pair<int, int>> seen;
    for (const sim::IconGroupEntry& e : entries) {
        std::string where = std::to_string(e.width) + " px " + std::to_string(e.bitCount) + " bpp";
        EXPECT_EQ(e.width, e.height) << where;
        EXPECT_EQ(e.planes, 1) << where;
        seen.insert({e.width, e.bitCount});
        // The image itself: a DIB of twice the height (colour and AND mask).
        const sim::ResEntry* image = res_.FindForUiLanguage(sim::kRtIcon, e.iconId, 0);
        ASSERT_NE(image, nullptr) << where;
        EXPECT_EQ(image->data.size(), e.bytesInRes) << where;
        sim::BitmapInfo info;
        ASSERT_TRUE(sim::ParseBitmapInfo(image->data.data(), image->data.size(), &info, &error))
            << where << ": " << error;
        EXPECT_EQ(std::vector<int>({info.width, info.height, info.bitCount}),
                  std::vector<int>({e.width, 2 * e.width, e.bitCount}))
            << where;
        size_t palette = e.bitCount <= 8 ? (size_t{1} << e.bitCount) * 4 : 0;
        size_t colour = (static_cast<size_t>(e.width) * e.bitCount + 31) / 32 * 4 * e.width;
        size_t mask = (static_cast<size_t>(e.width) + 31) / 32 * 4 * e.width;
        EXPECT_EQ(image->data.size(), 40 + palette + colour + mask) << where;
    }
    std::set<std::pair<int, int>> expected;
    for (int size : {16, 32, 48}) {
        for (int bpp : {4, 8, 32}) {
            expected.insert({size, bpp});
        }
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(ResourcesTest, Manifest) {
    const sim::ResEntry* e = res_.FindForUiLanguage(sim::kRtManifest, 1, 0);
    ASSERT_NE(e, nullptr);
    std::string xml(e->data.begin(), e->data.end());
    const char* needles[] = {
        // The program's own identity names no processor, so the x86_64 test build may carry
        // the same manifest.
        "<assemblyIdentity type=\"win32\" name=\"Corvane.Setup\" version=\"1.0.0.0\"/>",
        ("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
         "processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\""),
        "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10
    };
    for (const char* n : needles) {
        EXPECT_NE(xml.find(n), std::string::npos) << "missing " << n;
    }
    EXPECT_EQ(std::count(xml.begin(), xml.end(), '\0'), 0);
}

// ---------------------------------------------------------------------------------------
// Malformed data.

void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, static_cast<uint16_t>(v));
    Put16(b, static_cast<uint16_t>(v >> 16));
}
void Pad4(std::vector<uint8_t>& b) {
    while (b.size() % 4) {
        b.push_back(0);
    }
}

// One .res entry with ordinal type and name.
std::vector<uint8_t> ResEntryBytes(uint16_t type, uint16_t name, uint16_t lang,
                                   const std::vector<uint8_t>& data) {
    std::vector<uint8_t> b;
    Put32(b, static_cast<uint32_t>(data.size()));
    Put32(b, 32);
    Put16(b, 0xFFFF);
    Put16(b, type);
    Put16(b, 0xFFFF);
    Put16(b, name);
    Put32(b, 0);       // DataVersion
    Put16(b, 0x1030);  // MemoryFlags
    Put16(b, lang);
    Put32(b, 0);  // Version
    Put32(b, 0);  // Characteristics
    b.insert(b.end(), data.begin(), data.end());
    Pad4(b);
    return b;
}

std::vector<uint8_t> ResFile(const std::vector<std::vector<uint8_t>>& entries) {
    std::vector<uint8_t> b = ResEntryBytes(0, 0, 0, {});  // the empty 32-byte entry
    for (const auto& e : entries) {
        b.insert(b.end(), e.begin(), e.end());
    }
    return b;
}

TEST(ResourcesParserTest, MalformedFilesFailCleanly) {
    const std::vector<uint8_t> valid =
        ResFile({ResEntryBytes(6, 10, 1033, {1, 0, 'A', 0}), ResEntryBytes(24, 1, 1033, {'x'})});
    using Mutate = std::function<void(std::vector<uint8_t>&)>;
    struct Row {
        const char* name;
        Mutate mutate;
        const char* error;  // part of the expected message
    } rows[] = {
        {"empty", [](std::vector<uint8_t>& b) { b.clear(); }, "not a 32-bit resource file"},
        {"signature cut", [](std::vector<uint8_t>& b) { b.resize(31); },
         "not a 32-bit resource file"},
        {"16-bit resource file", [](std::vector<uint8_t>& b) { b[0] = 0xFF; },
         "not a 32-bit resource file"},
        {"entry sizes cut", [](std::vector<uint8_t>& b) { b.resize(32 + 6); }, "truncated"},
        {"header cut", [](std::vector<uint8_t>& b) { b.resize(32 + 20); }, "bad header size"},
        {"header size too small", [](std::vector<uint8_t>& b) { b[32 + 4] = 8; },
         "bad header size"},
        {"header size beyond the file", [](std::vector<uint8_t>& b) { b[32 + 5] = 0x40; },
         "bad header size"},
        {"data size beyond the file", [](std::vector<uint8_t>& b) { b[32] = 0x40; },
         "exceeds the file"},
        {"data size near 4 GB",
         [](std::vector<uint8_t>& b) { b[32] = b[33] = b[34] = b[35] = 0xFF; }, "exceeds the file"},
        {"data cut", [](std::vector<uint8_t>& b) { b.resize(b.size() - 4); }, "exceeds the file"},
        {"unterminated type name",
         [](std::vector<uint8_t>& b) {
             // A string type filling the whole 32-byte header without a null unit.
             for (size_t i = 32 + 8; i < 32 + 32; ++i) {
                 b[i] = 'A';
             }
         },
         "unterminated type"},
        {"fixed fields outside the header",
         [](std::vector<uint8_t>& b) {
             // Type and name as strings leave no room for the fixed fields.
             const char name[] = {'A', 0, 'B', 0, 'C', 0, 0, 0, 'D', 0, 0, 0};
             std::memcpy(&b[32 + 8], name, sizeof(name));
             std::memcpy(&b[32 + 20], name, sizeof(name));
         },
         "truncated entry header"},
    };
    SimResources res;
    std::string error;
    ASSERT_TRUE(res.Load(valid.data(), valid.size(), &error)) << error;
    ASSERT_EQ(res.entries().size(), 2u);
    for (const Row& r : rows) {
        std::vector<uint8_t> b = valid;
        r.mutate(b);
        error.clear();
        EXPECT_FALSE(res.Load(b.data(), b.size(), &error)) << r.name;
        EXPECT_NE(error.find(r.error), std::string::npos)
            << r.name << ": got \"" << error << "\" expected \"" << r.error << "\"";
        EXPECT_TRUE(res.entries().empty()) << r.name;
    }
    // Every cut of the file fails, except at an entry's end: 32 (the empty entry), 68 (the
    // string block) and 101 (the manifest, whose three padding bytes may be missing).
    ASSERT_EQ(valid.size(), 104u);
    const std::set<size_t> ends = {32, 68, 101, 102, 103, 104};
    for (size_t n = 0; n <= valid.size(); ++n) {
        bool ok = res.Load(valid.data(), n, &error);
        EXPECT_EQ(ok, ends.count(n) > 0) << "cut at " << n << ": " << error;
    }
}

TEST_F(ResourcesTest, TruncatedTemplatesAndStringBlocksFail) {
    struct Row {
        const char* name;
        uint16_t type;
        uint16_t id;
    } rows[] = {
        {"License page", sim::kRtDialog, IDD_LICENSE},
        {"Finish page", sim::kRtDialog, IDD_FINISH},
        {"string block 10", sim::kRtString, 10},
        {"icon group", sim::kRtGroupIcon, IDR_MAINFRAME},
    };
    for (const Row& r : rows) {
        for (uint16_t lang : {win::kLangEnglishUs, win::kLangChineseSimplified}) {
            const sim::ResEntry* e = res_.FindForUiLanguage(r.type, r.id, lang);
            ASSERT_NE(e, nullptr) << r.name;
            // A copy of each cut, so that the sanitizer catches any read past it.
            for (size_t n = 0; n + 3 < e->data.size(); ++n) {
                std::vector<uint8_t> cut(e->data.begin(), e->data.begin() + n);
                std::string error;
                bool ok;
                if (r.type == sim::kRtDialog) {
                    DialogTemplate t;
                    ok = sim::ParseDialogTemplate(cut.data(), cut.size(), &t, &error);
                } else if (r.type == sim::kRtString) {
                    std::vector<std::wstring> s;
                    ok = sim::ParseStringBlock(cut.data(), cut.size(), &s, &error);
                } else {
                    std::vector<sim::IconGroupEntry> g;
                    ok = sim::ParseIconGroup(cut.data(), cut.size(), &g, &error);
                }
                EXPECT_FALSE(ok) << r.name << " cut at " << n;
                EXPECT_FALSE(error.empty()) << r.name << " cut at " << n;
            }
        }
    }
}

TEST(ResourcesParserTest, MalformedTemplatesFailCleanly) {
    // A minimal DIALOGEX template with one control, built field by field.
    auto build = [](uint16_t signature, uint16_t classOrdinal, uint16_t extraCount,
                    size_t extraBytes) {
        std::vector<uint8_t> b;
        Put16(b, 1);
        Put16(b, signature);
        Put32(b, 0);     // helpID
        Put32(b, 0);     // exStyle
        Put32(b, 0x40);  // DS_SETFONT
        Put16(b, 1);     // one control
        for (int i = 0; i < 4; ++i) {
            Put16(b, 10);
        }
        Put16(b, 0);  // no menu
        Put16(b, 0);  // standard class
        Put16(b, 'T');
        Put16(b, 0);  // title "T"
        Put16(b, 8);
        Put16(b, 400);
        b.push_back(0);
        b.push_back(1);
        Put16(b, 'F');
        Put16(b, 0);  // typeface "F"
        Pad4(b);
        Put32(b, 0);
        Put32(b, 0);
        Put32(b, 0x50000000);
        for (int i = 0; i < 4; ++i) {
            Put16(b, 5);
        }
        Put32(b, 0xFFFFFFFF);
        Put16(b, 0xFFFF);
        Put16(b, classOrdinal);
        Put16(b, 0xFFFF);
        Put16(b, 130);  // title: an ordinal
        Put16(b, extraCount);
        b.insert(b.end(), extraBytes, 0xAB);
        return b;
    };
    DialogTemplate t;
    std::string error;
    std::vector<uint8_t> good = build(0xFFFF, 0x0082, 2, 2);
    ASSERT_TRUE(sim::ParseDialogTemplate(good.data(), good.size(), &t, &error)) << error;
    ASSERT_EQ(t.items.size(), 1u);
    EXPECT_EQ(t.title, L"T");
    EXPECT_EQ(t.typeface, L"F");
    EXPECT_EQ(t.items[0].className, L"Static");
    EXPECT_EQ(t.items[0].SignedId(), -1);
    EXPECT_TRUE(t.items[0].titleIsOrdinal);
    EXPECT_EQ(t.items[0].titleOrdinal, 130);
    EXPECT_EQ(t.items[0].extra, std::vector<uint8_t>({0xAB, 0xAB}));

    struct Row {
        const char* name;
        std::vector<uint8_t> data;
        const char* error;
    } rows[] = {
        {"plain DLGTEMPLATE", build(0x0000, 0x0082, 0, 0), "not a DIALOGEX template"},
        {"unknown class ordinal", build(0xFFFF, 0x0099, 0, 0), "unknown class ordinal"},
        {"creation data beyond the template", build(0xFFFF, 0x0080, 9, 2),
         "truncated creation data"},
        {"creation data size near 64 KB", build(0xFFFF, 0x0080, 0xFFFF, 0),
         "truncated creation data"},
    };
    for (const Row& r : rows) {
        error.clear();
        EXPECT_FALSE(sim::ParseDialogTemplate(r.data.data(), r.data.size(), &t, &error)) << r.name;
        EXPECT_NE(error.find(r.error), std::string::npos)
            << r.name << ": got \"" << error << "\" expected \"" << r.error << "\"";
    }
}

TEST(ResourcesParserTest, MalformedStringBlocksAndIconGroupsFail) {
    std::vector<uint8_t> strings;
    for (int i = 0; i < 16; ++i) {
        Put16(strings, i == 3 ? 2 : 0);
        if (i == 3) {
            Put16(strings, 'h');
            Put16(strings, 'i');
        }
    }
    std::vector<std::wstring> out;
    std::string error;
    ASSERT_TRUE(sim::ParseStringBlock(strings.data(), strings.size(), &out, &error)) << error;
    ASSERT_EQ(out.size(), 16u);
    EXPECT_EQ(out[3], L"hi");
    std::vector<uint8_t> tooLong = strings;
    tooLong[2 * 3] = 0xFF;  // string 3 claims 255 characters
    EXPECT_FALSE(sim::ParseStringBlock(tooLong.data(), tooLong.size(), &out, &error));
    EXPECT_NE(error.find("string 3"), std::string::npos) << error;

    struct Row {
        const char* name;
        std::vector<uint8_t> data;
        const char* error;
    } rows[] = {
        {"cursor group", {0, 0, 2, 0, 0, 0}, "not an icon group"},
        {"count beyond the data", {0, 0, 1, 0, 9, 0}, "entries exceed the data"},
        {"header cut", {0, 0, 1}, "truncated"},
    };
    for (const Row& r : rows) {
        std::vector<sim::IconGroupEntry> g;
        error.clear();
        EXPECT_FALSE(sim::ParseIconGroup(r.data.data(), r.data.size(), &g, &error)) << r.name;
        EXPECT_NE(error.find(r.error), std::string::npos)
            << r.name << ": got \"" << error << "\" expected \"" << r.error << "\"";
    }
    sim::BitmapInfo info;
    std::vector<uint8_t> core = {12, 0, 0, 0, 1, 0, 1, 0, 1, 0, 24, 0};  // BITMAPCOREHEADER
    EXPECT_FALSE(sim::ParseBitmapInfo(core.data(), core.size(), &info, &error));
}

}  // namespace
