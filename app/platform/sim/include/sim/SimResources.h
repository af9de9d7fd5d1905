// The program's compiled resources (.res file) as the simulated Windows sees them: the
// entries of the file, and decoders for the kinds the program uses (dialog templates,
// string tables, icon groups, bitmaps). Every decoder checks each size and offset against
// the data it was given and reports malformed data as an error; nothing is read out of
// bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/WinConst.h"

namespace sim {

// Resource type ordinals (RT_*).
constexpr uint16_t kRtBitmap = 2;
constexpr uint16_t kRtIcon = 3;
constexpr uint16_t kRtDialog = 5;
constexpr uint16_t kRtString = 6;
constexpr uint16_t kRtGroupIcon = 14;
constexpr uint16_t kRtManifest = 24;

// A resource type or name: an ordinal (MAKEINTRESOURCE) or a string.
struct ResId {
    bool isOrdinal = true;
    uint16_t ordinal = 0;
    std::wstring name;

    static ResId Ordinal(uint16_t id) { return ResId{true, id, {}}; }
    static ResId Name(std::wstring s) { return ResId{false, 0, std::move(s)}; }
    // Ordinals compare by number, names ignoring case (as FindResource does).
    bool Matches(const ResId& other) const;
};

// One entry of a .res file.
struct ResEntry {
    ResId type;
    ResId name;
    uint16_t language = 0;
    uint16_t memoryFlags = 0;
    uint32_t dataVersion = 0;
    uint32_t version = 0;
    uint32_t characteristics = 0;
    std::vector<uint8_t> data;
};

// One control of a DIALOGEX template (DLGITEMTEMPLATEEX).
struct DialogItem {
    uint32_t helpId = 0;
    uint32_t exStyle = 0;
    uint32_t style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint32_t id = 0;  // -1 (IDC_STATIC) is 0xFFFFFFFF
    // Predefined classes (ordinals 0x0080-0x0085) are given by name: "Button", "Edit",
    // "Static", "ListBox", "ScrollBar", "ComboBox"; classOrdinal keeps the ordinal (0 when
    // the class was stored as a string). Class names compare ignoring case in Windows.
    std::wstring className;
    uint16_t classOrdinal = 0;
    // The text, or an ordinal (a static's bitmap or icon id) when titleIsOrdinal.
    std::wstring title;
    bool titleIsOrdinal = false;
    uint16_t titleOrdinal = 0;
    std::vector<uint8_t> extra;  // creation data

    int32_t SignedId() const { return static_cast<int32_t>(id); }
};

// A DIALOGEX template (DLGTEMPLATEEX).
struct DialogTemplate {
    uint32_t helpId = 0;
    uint32_t exStyle = 0;
    uint32_t style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    ResId menu;         // ordinal 0: none
    ResId windowClass;  // ordinal 0: the standard dialog class
    std::wstring title;
    bool hasFont = false;  // DS_SETFONT (also part of DS_SHELLFONT)
    uint16_t pointSize = 0;
    uint16_t weight = 0;
    uint8_t italic = 0;
    uint8_t charset = 0;
    std::wstring typeface;
    std::vector<DialogItem> items;
};

// One image of an icon group (GRPICONDIRENTRY); the image is RT_ICON |iconId|.
struct IconGroupEntry {
    int width = 0;  // 0 in the data means 256
    int height = 0;
    uint8_t colorCount = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t bytesInRes = 0;
    uint16_t iconId = 0;
};

// The BITMAPINFOHEADER at the start of an RT_BITMAP resource.
struct BitmapInfo {
    int32_t width = 0;
    int32_t height = 0;  // negative: top-down
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
};

// Decoders of single resources. Each returns false and sets |error| (when not null) on
// malformed data.
bool ParseDialogTemplate(const uint8_t* data, size_t size, DialogTemplate* out,
                         std::string* error = nullptr);
// A string table block: the 16 strings of ids (block - 1) * 16 ... (block - 1) * 16 + 15.
bool ParseStringBlock(const uint8_t* data, size_t size, std::vector<std::wstring>* out,
                      std::string* error = nullptr);
bool ParseIconGroup(const uint8_t* data, size_t size, std::vector<IconGroupEntry>* out,
                    std::string* error = nullptr);
bool ParseBitmapInfo(const uint8_t* data, size_t size, BitmapInfo* out,
                     std::string* error = nullptr);

// A parsed .res file with the platform's lookup by user interface language.
class SimResources {
public:
    // Parses a 32-bit .res file: the empty 32-byte entry that identifies the format, then
    // the entries. On failure nothing is kept, false is returned and |error| says why.
    bool Load(const void* data, size_t size, std::string* error = nullptr);

    const std::vector<ResEntry>& entries() const { return entries_; }

    // The entry with exactly this type, name and language, or null.
    const ResEntry* Find(const ResId& type, const ResId& name, uint16_t language) const;
    const ResEntry* Find(uint16_t type, uint16_t id, uint16_t language) const {
        return Find(ResId::Ordinal(type), ResId::Ordinal(id), language);
    }

    // The variant the platform gives a program on a system whose user interface language
    // is |uiLanguage|: Simplified Chinese (2052) when that is the UI language, otherwise
    // English (1033); when the chosen variant does not exist, the language-neutral one,
    // then English, then whichever language the file holds. Null when there is none.
    const ResEntry* FindForUiLanguage(uint16_t type, uint16_t id, uint16_t uiLanguage) const;

    // The dialog template |id| for |uiLanguage| (see FindForUiLanguage).
    bool LoadDialog(uint16_t id, uint16_t uiLanguage, DialogTemplate* out,
                    std::string* error = nullptr) const;

    // The string |id| for |uiLanguage|: the string table block holding it is chosen as
    // FindForUiLanguage does. False when there is no such block or the string is empty
    // (LoadString returns 0 then).
    bool LoadString(uint32_t id, uint16_t uiLanguage, std::wstring* out) const;

private:
    std::vector<ResEntry> entries_;
};

}  // namespace sim
