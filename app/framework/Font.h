// A font object that owns one GDI font made through the Ui port: empty until created, and
// the font is deleted when the object is destroyed or another font is created into it.
#pragma once

#include "platform/Ui.h"

class CFont {
public:
    CFont() = default;
    ~CFont() { DeleteObject(); }
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    // Creates the font (CreateFontIndirect); false, and the object stays empty, when the
    // port cannot make it.
    bool CreateFontIndirect(platform::Ui& ui, const platform::FontDescription& description) {
        DeleteObject();
        const platform::FontHandle font = ui.CreateFont(description);
        if (!font) {
            return false;
        }
        m_ui = &ui;
        m_hFont = font;
        return true;
    }

    void DeleteObject() {
        if (m_hFont && m_ui != nullptr) {
            m_ui->DeleteFont(m_hFont);
        }
        m_hFont = platform::FontHandle();
        m_ui = nullptr;
    }

    platform::FontHandle GetSafeHandle() const { return m_hFont; }

private:
    platform::Ui* m_ui = nullptr;
    platform::FontHandle m_hFont;
};
