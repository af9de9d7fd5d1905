// The Start Menu Folder page (template 136): the folder for the product's shortcuts,
// proposed as the product name, with the folders that already exist in the start menu.
#pragma once

#include <string>

#include "Setup/pages/SetupPage.h"

class CStartMenuFolderDlg : public CSetupPage {
public:
    CStartMenuFolderDlg(InstallerSettings& settings, platform::Platform& platform);

    // The chosen folder, relative to the Programs folder; starts as the product name and is
    // overwritten only by Next.
    std::wstring m_strFolder;

protected:
    bool OnInitPage() override;
    void OnLbnSelchangeFolders();
    void OnBnClickedNext();

private:
    // Adds the sub-folders of the start-menu program folder |csidl| to the list.
    void AddFoldersOf(int csidl);

    DECLARE_MESSAGE_MAP()
};
