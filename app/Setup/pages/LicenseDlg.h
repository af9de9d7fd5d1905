// The Agreement page (template 102): shows terms.rtf from the program's folder in a
// read-only rich edit and lets the user go on only after ticking "I accept".
#pragma once

#include <cstdint>

#include "Setup/pages/SetupPage.h"

// What the stream-in callback hands to the rich edit: the whole file, read in one piece.
struct AgreementReader {
    const uint8_t* buffer = nullptr;  // the file's contents
    uint32_t size = 0;                // bytes in |buffer|
    uint32_t position = 0;            // bytes already handed to the control
};

// The rich edit's stream-in callback (EditStreamCallback form); |cookie| is the address of
// an AgreementReader. Copies the next piece of at most |requested| bytes; a transferred
// count of 0 ends the stream. Never reports an error.
uint32_t ReadAgreementChunk(uintptr_t cookie, uint8_t* buffer, int32_t requested,
                            int32_t* transferred);

class CLicenseDlg : public CSetupPage {
public:
    CLicenseDlg(InstallerSettings& settings, platform::Platform& platform);

    // 1 while the accept check box is ticked. The page sequence sets it before each visit
    // and reads it back afterwards, so the choice survives Back and Next.
    int32_t m_bAccepted;

protected:
    bool OnInitPage() override;
    void OnBnClickedAccept();

private:
    void StreamAgreement();

    DECLARE_MESSAGE_MAP()
};
