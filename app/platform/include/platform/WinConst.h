// Portable copies of the Windows constants the program uses. The values equal the SDK's;
// the Win32 adapter checks every one of them against <windows.h> at compile time
// (win32/ConstantsCheck.cpp). Names follow the SDK's, in the form kSdkName.
#pragma once

#include <cstdint>

namespace win {

// Error codes (GetLastError, registry status).
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorInvalidFunction = 1;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorInvalidData = 13;
constexpr uint32_t kErrorInvalidDrive = 15;
constexpr uint32_t kErrorNoMoreFiles = 18;
constexpr uint32_t kErrorNotReady = 21;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorHandleEof = 38;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorCallNotImplemented = 120;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorModNotFound = 126;
constexpr uint32_t kErrorProcNotFound = 127;
constexpr uint32_t kErrorDirNotEmpty = 145;
constexpr uint32_t kErrorBadPathname = 161;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorBadExeFormat = 193;
constexpr uint32_t kErrorFilenameExcedRange = 206;
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kErrorNoMoreItems = 259;
constexpr uint32_t kErrorDirectory = 267;
constexpr uint32_t kErrorBadLength = 24;
constexpr uint32_t kErrorInvalidFlags = 1004;
constexpr uint32_t kErrorNotAllAssigned = 1300;
constexpr uint32_t kErrorNoSuchPrivilege = 1313;
constexpr uint32_t kErrorPrivilegeNotHeld = 1314;
constexpr uint32_t kErrorInvalidWindowHandle = 1400;
constexpr uint32_t kErrorResourceNameNotFound = 1814;
constexpr uint32_t kErrorControlIdNotFound = 1421;
constexpr uint32_t kErrorOldWinVersion = 1150;
// The installer results that setup programs report as their exit codes.
constexpr uint32_t kErrorSuccessRebootInitiated = 1641;
constexpr uint32_t kErrorInstallUserexit = 1602;
constexpr uint32_t kErrorInstallFailure = 1603;
constexpr uint32_t kErrorInstallPlatformUnsupported = 1633;
constexpr uint32_t kErrorSuccessRebootRequired = 3010;

// HRESULTs (as signed 32-bit values).
constexpr int32_t kSOk = 0;
constexpr int32_t kSFalse = 1;
constexpr int32_t kENotImpl = static_cast<int32_t>(0x80004001);
constexpr int32_t kENoInterface = static_cast<int32_t>(0x80004002);
constexpr int32_t kEFail = static_cast<int32_t>(0x80004005);
constexpr int32_t kEPointer = static_cast<int32_t>(0x80004003);
constexpr int32_t kCoENotInitialized = static_cast<int32_t>(0x800401F0);
constexpr int32_t kEAccessDenied = static_cast<int32_t>(0x80070005);
constexpr int32_t kEInvalidArg = static_cast<int32_t>(0x80070057);
constexpr int32_t kEOutOfMemory = static_cast<int32_t>(0x8007000E);
constexpr int32_t kRpcEChangedMode = static_cast<int32_t>(0x80010106);
constexpr int32_t kRegdbEClassNotReg = static_cast<int32_t>(0x80040154);
constexpr int32_t kWbemEFailed = static_cast<int32_t>(0x80041001);
constexpr int32_t kWbemEInvalidNamespace = static_cast<int32_t>(0x8004100E);
constexpr int32_t kWbemEInvalidQuery = static_cast<int32_t>(0x80041017);

// HRESULT_FROM_WIN32.
constexpr int32_t HresultFromWin32(uint32_t error) {
    return error == 0 ? 0 : static_cast<int32_t>((error & 0x0000FFFFu) | 0x80070000u);
}

// Registry value types.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;
constexpr uint32_t kRegQword = 11;

// Registry key access rights.
constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;
constexpr uint32_t kKeyCreateSubKey = 0x0004;
constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kKeyAllAccess = 0xF003F;

// Shell special folder ids (CSIDL) and flags.
constexpr int kCsidlPrograms = 0x0002;
constexpr int kCsidlPersonal = 0x0005;
constexpr int kCsidlStartMenu = 0x000B;
constexpr int kCsidlDesktopDirectory = 0x0010;
constexpr int kCsidlCommonStartMenu = 0x0016;
constexpr int kCsidlCommonPrograms = 0x0017;
constexpr int kCsidlCommonDesktopDirectory = 0x0019;
constexpr int kCsidlAppData = 0x001A;
constexpr int kCsidlLocalAppData = 0x001C;
constexpr int kCsidlCommonAppData = 0x0023;
constexpr int kCsidlWindows = 0x0024;
constexpr int kCsidlSystem = 0x0025;
constexpr int kCsidlProgramFiles = 0x0026;
constexpr int kCsidlFlagCreate = 0x8000;

// File attributes, flags, access, sharing and creation dispositions.
constexpr uint32_t kFileAttributeReadonly = 0x00000001;
constexpr uint32_t kFileAttributeHidden = 0x00000002;
constexpr uint32_t kFileAttributeSystem = 0x00000004;
constexpr uint32_t kFileAttributeDirectory = 0x00000010;
constexpr uint32_t kFileAttributeArchive = 0x00000020;
constexpr uint32_t kFileAttributeNormal = 0x00000080;
constexpr uint32_t kFileAttributeCompressed = 0x00000800;
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;
constexpr uint32_t kFileFlagWriteThrough = 0x80000000;
constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kDelete = 0x00010000;
constexpr uint32_t kFileReadData = 0x0001;
constexpr uint32_t kFileWriteData = 0x0002;
constexpr uint32_t kFileReadAttributes = 0x0080;
constexpr uint32_t kFileShareRead = 0x1;
constexpr uint32_t kFileShareWrite = 0x2;
constexpr uint32_t kFileShareDelete = 0x4;
constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kCreateAlways = 2;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kOpenAlways = 4;
constexpr uint32_t kTruncateExisting = 5;
constexpr uint32_t kFileBegin = 0;
constexpr uint32_t kFileCurrent = 1;
constexpr uint32_t kFileEnd = 2;
constexpr uint32_t kMovefileReplaceExisting = 0x1;
constexpr uint32_t kMovefileDelayUntilReboot = 0x4;
constexpr uint32_t kMovefileWriteThrough = 0x8;
constexpr uint32_t kMaxPath = 260;

// Error modes (SetErrorMode).
constexpr uint32_t kSemFailCriticalErrors = 0x0001;
constexpr uint32_t kSemNoGpFaultErrorBox = 0x0002;
constexpr uint32_t kSemNoOpenFileErrorBox = 0x8000;

// Drive types.
constexpr uint32_t kDriveUnknown = 0;
constexpr uint32_t kDriveNoRootDir = 1;
constexpr uint32_t kDriveRemovable = 2;
constexpr uint32_t kDriveFixed = 3;
constexpr uint32_t kDriveRemote = 4;
constexpr uint32_t kDriveCdrom = 5;
constexpr uint32_t kDriveRamdisk = 6;

// Device I/O control codes.
constexpr uint32_t kIoctlDiskGetDriveGeometry = 0x00070000;
constexpr uint32_t kIoctlDiskGetPartitionInfo = 0x00074004;
constexpr uint32_t kIoctlDiskGetPartitionInfoEx = 0x00070048;
constexpr uint32_t kFsctlSetCompression = 0x0009C040;
constexpr uint16_t kCompressionFormatNone = 0;
constexpr uint16_t kCompressionFormatDefault = 1;

// Message boxes.
constexpr uint32_t kMbOk = 0x00000000;
constexpr uint32_t kMbOkCancel = 0x00000001;
constexpr uint32_t kMbYesNoCancel = 0x00000003;
constexpr uint32_t kMbYesNo = 0x00000004;
constexpr uint32_t kMbIconHand = 0x00000010;
constexpr uint32_t kMbIconQuestion = 0x00000020;
constexpr uint32_t kMbIconExclamation = 0x00000030;
constexpr uint32_t kMbIconInformation = 0x00000040;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Window messages and control messages.
constexpr uint32_t kWmNull = 0x0000;
constexpr uint32_t kWmSetText = 0x000C;
constexpr uint32_t kWmGetText = 0x000D;
constexpr uint32_t kWmPaint = 0x000F;
constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmEraseBkgnd = 0x0014;
constexpr uint32_t kWmQueryDragIcon = 0x0037;
constexpr uint32_t kWmSetFont = 0x0030;
constexpr uint32_t kWmSetIcon = 0x0080;
constexpr uint32_t kWmKeyDown = 0x0100;
constexpr uint32_t kWmChar = 0x0102;
constexpr uint32_t kWmInitDialog = 0x0110;
constexpr uint32_t kWmCommand = 0x0111;
constexpr uint32_t kWmSysCommand = 0x0112;
constexpr uint32_t kWmVScroll = 0x0115;
constexpr uint32_t kWmCtlColorBtn = 0x0135;
constexpr uint32_t kWmCtlColorDlg = 0x0136;
constexpr uint32_t kWmCtlColorStatic = 0x0138;
constexpr uint32_t kWmUser = 0x0400;
constexpr uint32_t kBmGetCheck = 0x00F0;
constexpr uint32_t kBmSetCheck = 0x00F1;
constexpr uint32_t kBmClick = 0x00F5;
constexpr uint32_t kEmSetSel = 0x00B1;
constexpr uint32_t kEmLimitText = 0x00C5;
constexpr uint32_t kEmStreamIn = 0x0449;
constexpr uint32_t kLbAddString = 0x0180;
constexpr uint32_t kLbGetCurSel = 0x0188;
constexpr uint32_t kLbGetText = 0x0189;
constexpr uint32_t kLbGetCount = 0x018B;
constexpr uint32_t kLbFindString = 0x018F;
constexpr uint32_t kWmGetFont = 0x0031;
constexpr uint32_t kWmIconEraseBkgnd = 0x0027;
constexpr uint32_t kWmNextDlgCtl = 0x0028;
constexpr uint32_t kWmKeyUp = 0x0101;
constexpr uint32_t kWmGetDlgCode = 0x0087;
constexpr uint32_t kBmGetState = 0x00F2;
constexpr uint32_t kEmGetSel = 0x00B0;
constexpr uint32_t kEmGetLimitText = 0x00D5;
constexpr uint32_t kLbSetCurSel = 0x0186;
constexpr uint32_t kLbGetTextLen = 0x018A;
constexpr uint32_t kLbSelectString = 0x018C;
constexpr uint32_t kLbErr = static_cast<uint32_t>(-1);
constexpr uint32_t kPbmGetPos = kWmUser + 8;
constexpr uint32_t kPbmGetRange = kWmUser + 7;
constexpr uint32_t kPbmSetPos = kWmUser + 2;
constexpr uint32_t kPbmSetRange32 = kWmUser + 6;
constexpr uint32_t kSbTop = 6;
constexpr uint32_t kSbLineDown = 1;
constexpr uint32_t kBnClicked = 0;
constexpr uint32_t kLbnSelChange = 1;
constexpr uint32_t kEnChange = 0x0300;
constexpr uint32_t kBstUnchecked = 0;
constexpr uint32_t kBstChecked = 1;
constexpr uint32_t kIconSmall = 0;
constexpr uint32_t kIconBig = 1;
constexpr uint32_t kSfText = 0x0001;
constexpr uint32_t kSfRtf = 0x0002;
constexpr int kSmCxIcon = 11;
constexpr int kSmCyIcon = 12;
constexpr uint32_t kVkReturn = 0x0D;
constexpr uint32_t kVkEscape = 0x1B;
constexpr uint32_t kVkTab = 0x09;
constexpr int kFwBold = 700;
constexpr int kFwNormal = 400;
// LOGFONTW: the face name's buffer in characters, and the values the dialog manager gives
// a template's font.
constexpr int kLfFaceSize = 32;
constexpr uint8_t kDefaultCharset = 1;
constexpr uint8_t kProofQuality = 2;
// InitCommonControlsEx: the INITCOMMONCONTROLSEX size and the class mask the program uses
// (list-view, tree-view, bar, tab, up-down, progress, hot-key and animate classes).
constexpr uint32_t kInitCommonControlsExSize = 8;
constexpr uint32_t kIccProgressClass = 0x00000020;
constexpr uint32_t kIccFirstEightClasses = 0x000000FF;
constexpr uint32_t kScClose = 0xF060;
constexpr uint32_t kWmApp = 0x8000;
constexpr uint32_t kWmGetTextLength = 0x000E;
constexpr uint32_t kWmCtlColorEdit = 0x0133;
constexpr uint32_t kWmCtlColorListBox = 0x0134;
constexpr uint32_t kDmGetDefId = kWmUser + 0;
constexpr uint32_t kDmSetDefId = kWmUser + 1;
constexpr uint32_t kDcHasDefId = 0x534B;
constexpr uint32_t kBmSetState = 0x00F3;
constexpr uint32_t kLbSetTopIndex = 0x0197;
constexpr uint32_t kLbErrSpace = static_cast<uint32_t>(-2);
constexpr uint32_t kMbTypeMask = 0x0000000F;
constexpr uint32_t kMbAbortRetryIgnore = 0x00000002;
constexpr uint32_t kMbRetryCancel = 0x00000005;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;
// The box's buttons beyond the above, and which of them is the default one.
constexpr uint32_t kMbCancelTryContinue = 0x00000006;
constexpr uint32_t kMbDefMask = 0x00000F00;
constexpr uint32_t kMbDefButton1 = 0x00000000;
constexpr uint32_t kMbDefButton2 = 0x00000100;
constexpr uint32_t kMbDefButton3 = 0x00000200;
constexpr uint32_t kMbDefButton4 = 0x00000300;
constexpr uint32_t kMbHelp = 0x00004000;
constexpr int kIdTryAgain = 10;
constexpr int kIdContinue = 11;
// Window and control styles (the dialog templates' style bits).
constexpr uint32_t kWsVisible = 0x10000000;
constexpr uint32_t kWsDisabled = 0x08000000;
constexpr uint32_t kWsBorder = 0x00800000;
constexpr uint32_t kWsGroup = 0x00020000;
constexpr uint32_t kWsTabStop = 0x00010000;
constexpr uint32_t kWsExClientEdge = 0x00000200;
constexpr uint32_t kDsCenter = 0x0800;
constexpr uint32_t kBsTypeMask = 0x0000000F;
constexpr uint32_t kBsPushButton = 0x0;
constexpr uint32_t kBsDefPushButton = 0x1;
constexpr uint32_t kBsCheckBox = 0x2;
constexpr uint32_t kBsAutoCheckBox = 0x3;
constexpr uint32_t kBsRadioButton = 0x4;
constexpr uint32_t kBs3State = 0x5;
constexpr uint32_t kBsAuto3State = 0x6;
constexpr uint32_t kBsGroupBox = 0x7;
constexpr uint32_t kBsAutoRadioButton = 0x9;
constexpr uint32_t kBstIndeterminate = 2;
constexpr uint32_t kEsMultiline = 0x0004;
constexpr uint32_t kEsReadOnly = 0x0800;
constexpr uint32_t kSsTypeMask = 0x0000001F;
constexpr uint32_t kSsBitmap = 0x0000000E;
constexpr uint32_t kSsEtchedHorz = 0x00000010;
constexpr uint32_t kLbsNotify = 0x0001;
constexpr uint32_t kLbsSort = 0x0002;
constexpr int kSmCxScreen = 0;
constexpr int kSmCyScreen = 1;
constexpr uint32_t kWmCtlColorMsgBox = 0x0132;
constexpr uint32_t kWmCtlColorScrollBar = 0x0137;
constexpr int kCtlColorMsgBox = 0;
constexpr int kCtlColorEdit = 1;
constexpr int kCtlColorListBox = 2;
constexpr int kCtlColorBtn = 3;
constexpr int kCtlColorDlg = 4;
constexpr int kCtlColorScrollBar = 5;
constexpr int kCtlColorStatic = 6;

// Show-window states and start-up flags.
constexpr int kSwHide = 0;
constexpr int kSwShowNormal = 1;
constexpr uint32_t kStartfUseShowWindow = 0x00000001;

// Waiting.
constexpr uint32_t kInfinite = 0xFFFFFFFF;
constexpr uint32_t kWaitObject0 = 0x00000000;
constexpr uint32_t kWaitTimeout = 0x00000102;
constexpr uint32_t kWaitFailed = 0xFFFFFFFF;
constexpr uint32_t kStillActive = 259;

// COM apartments.
constexpr uint32_t kCoinitMultithreaded = 0x0;
constexpr uint32_t kCoinitApartmentThreaded = 0x2;

// Security and shutdown.
constexpr uint32_t kTokenAdjustPrivileges = 0x0020;
constexpr uint32_t kTokenQuery = 0x0008;
constexpr uint32_t kSePrivilegeEnabled = 0x00000002;
constexpr uint32_t kEwxLogoff = 0x00000000;
constexpr uint32_t kEwxShutdown = 0x00000001;
constexpr uint32_t kEwxReboot = 0x00000002;
constexpr uint32_t kEwxForce = 0x00000004;
constexpr uint32_t kEwxPowerOff = 0x00000008;
constexpr uint32_t kShtdnReasonMajorSoftware = 0x00030000;
constexpr uint32_t kLoadLibrarySearchSystem32 = 0x00000800;

// Shell change notification.
constexpr int32_t kShcneAssocChanged = 0x08000000;
constexpr uint32_t kShcnfIdList = 0x0000;

// Languages.
constexpr uint16_t kLangEnglishUs = 1033;
constexpr uint16_t kLangChineseSimplified = 2052;

// The install engine: a kernel driver's service values (winnt.h).
constexpr uint32_t kServiceKernelDriver = 0x00000001;
constexpr uint32_t kServiceBootStart = 0x00000000;
constexpr uint32_t kServiceErrorNormal = 0x00000001;

// The protection configuration: links and reparse points, libraries loaded with their own
// folder searched, and the errors of its refusals.
constexpr uint32_t kErrorNotSameDevice = 17;
constexpr uint32_t kErrorInvalidAddress = 487;
constexpr uint32_t kErrorArithmeticOverflow = 534;
constexpr uint32_t kErrorNoaccess = 998;
constexpr uint32_t kErrorCantResolveFilename = 1921;
constexpr uint32_t kFileAttributeReparsePoint = 0x00000400;
constexpr uint32_t kFileFlagOpenReparsePoint = 0x00200000;
constexpr uint32_t kFileFlagBackupSemantics = 0x02000000;
constexpr uint32_t kLoadWithAlteredSearchPath = 0x00000008;
constexpr uint32_t kLoadLibrarySearchDllLoadDir = 0x00000100;
constexpr uint32_t kLoadLibrarySearchApplicationDir = 0x00000200;
constexpr uint32_t kLoadLibrarySearchUserDirs = 0x00000400;
constexpr uint32_t kLoadLibrarySearchDefaultDirs = 0x00001000;

// --- Environment checks (prerequisites, hotfix inventory, driver control channel) ---
// Exit codes of refusals that no installer result describes.
constexpr uint32_t kErrorWriteProtect = 19;
// IEnumWbemClassObject::Next: fewer objects than asked for (the end of the results), and
// the wait ran out first. WBEM_INFINITE is platform::kWmiInfinite.
constexpr int32_t kWbemSFalse = 1;
constexpr int32_t kWbemSTimedOut = 0x40004;
constexpr int32_t kRpcECallRejected = static_cast<int32_t>(0x80010001);
constexpr int32_t kRpcEDisconnected = static_cast<int32_t>(0x80010108);
constexpr uint32_t kWbemFlagForwardOnly = 0x20;
constexpr uint32_t kWbemFlagReturnImmediately = 0x10;

}  // namespace win
