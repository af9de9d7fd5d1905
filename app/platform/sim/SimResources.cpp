#include "sim/SimResources.h"

#include <cstring>

#include "base/Text.h"

namespace sim {

namespace {

constexpr uint32_t kDsSetFont = 0x40;

// Reads little-endian fields from a byte range; every read checks the remaining length
// first. After a failed read the reader stays failed and reports the first error.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t pos() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    bool Fail(const std::string& what) {
        if (error_.empty()) {
            error_ = what + " at offset " + std::to_string(pos_);
        }
        return false;
    }

    bool Need(size_t n, const char* what) {
        if (!ok()) {
            return false;
        }
        if (n > remaining()) {
            return Fail(std::string("truncated ") + what);
        }
        return true;
    }

    uint8_t U8(const char* what) {
        if (!Need(1, what)) {
            return 0;
        }
        return data_[pos_++];
    }
    uint16_t U16(const char* what) {
        if (!Need(2, what)) {
            return 0;
        }
        uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    int16_t I16(const char* what) { return static_cast<int16_t>(U16(what)); }
    uint32_t U32(const char* what) {
        if (!Need(4, what)) {
            return 0;
        }
        uint32_t v = static_cast<uint32_t>(data_[pos_]) |
                     (static_cast<uint32_t>(data_[pos_ + 1]) << 8) |
                     (static_cast<uint32_t>(data_[pos_ + 2]) << 16) |
                     (static_cast<uint32_t>(data_[pos_ + 3]) << 24);
        pos_ += 4;
        return v;
    }

    bool Bytes(size_t n, std::vector<uint8_t>* out, const char* what) {
        if (!Need(n, what)) {
            return false;
        }
        out->assign(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return true;
    }

    bool Skip(size_t n, const char* what) {
        if (!Need(n, what)) {
            return false;
        }
        pos_ += n;
        return true;
    }

    // A null-terminated UTF-16LE string; the terminator must lie inside the data.
    std::wstring String(const char* what) {
        if (!ok()) {
            return {};
        }
        size_t start = pos_;
        for (size_t p = start; p + 1 < size_; p += 2) {
            if (data_[p] == 0 && data_[p + 1] == 0) {
                pos_ = p + 2;
                return base::FromUtf16LE(data_ + start, p - start);
            }
        }
        Fail(std::string("unterminated ") + what);
        return {};
    }

    // sz_Or_Ord: 0x0000 (none, ordinal 0), 0xFFFF followed by an ordinal, or a string.
    ResId StringOrOrdinal(const char* what) {
        if (!Need(2, what)) {
            return {};
        }
        uint16_t first = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        if (first == 0) {
            pos_ += 2;
            return ResId::Ordinal(0);
        }
        if (first == 0xFFFF) {
            pos_ += 2;
            return ResId::Ordinal(U16(what));
        }
        return ResId::Name(String(what));
    }

    // Advances to the next multiple of 4 from the start of the data; the padding may be
    // missing at the very end.
    void AlignDword() {
        size_t aligned = (pos_ + 3) & ~static_cast<size_t>(3);
        pos_ = aligned <= size_ ? aligned : size_;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    std::string error_;
};

bool Report(std::string* error, const std::string& what) {
    if (error) {
        *error = what;
    }
    return false;
}

bool Report(std::string* error, const Reader& r) {
    return Report(error, r.error());
}

std::wstring PredefinedClassName(uint16_t ordinal) {
    switch (ordinal) {
        case 0x0080:
            return L"Button";
        case 0x0081:
            return L"Edit";
        case 0x0082:
            return L"Static";
        case 0x0083:
            return L"ListBox";
        case 0x0084:
            return L"ScrollBar";
        case 0x0085:
            return L"ComboBox";
        default:
            return {};
    }
}

}  // namespace

bool ResId::Matches(const ResId& other) const {
    if (isOrdinal != other.isOrdinal) {
        return false;
    }
    return isOrdinal ? ordinal == other.ordinal : base::EqualsNoCase(name, other.name);
}

bool ParseDialogTemplate(const uint8_t* data, size_t size, DialogTemplate* out,
                         std::string* error) {
    Reader r(data, size);
    DialogTemplate t;
    uint16_t version = r.U16("template header");
    uint16_t signature = r.U16("template header");
    if (r.ok() && (version != 1 || signature != 0xFFFF)) {
        return Report(error, "not a DIALOGEX template");
    }
    t.helpId = r.U32("template header");
    t.exStyle = r.U32("template header");
    t.style = r.U32("template header");
    uint16_t count = r.U16("template header");
    t.x = r.I16("template header");
    t.y = r.I16("template header");
    t.cx = r.I16("template header");
    t.cy = r.I16("template header");
    t.menu = r.StringOrOrdinal("menu");
    t.windowClass = r.StringOrOrdinal("window class");
    t.title = r.String("title");
    if (t.style & kDsSetFont) {
        t.hasFont = true;
        t.pointSize = r.U16("font");
        t.weight = r.U16("font");
        t.italic = r.U8("font");
        t.charset = r.U8("font");
        t.typeface = r.String("typeface");
    }
    if (!r.ok()) {
        return Report(error, r);
    }
    for (uint16_t i = 0; i < count; ++i) {
        r.AlignDword();
        DialogItem item;
        item.helpId = r.U32("control");
        item.exStyle = r.U32("control");
        item.style = r.U32("control");
        item.x = r.I16("control");
        item.y = r.I16("control");
        item.cx = r.I16("control");
        item.cy = r.I16("control");
        item.id = r.U32("control");
        ResId cls = r.StringOrOrdinal("control class");
        if (cls.isOrdinal) {
            item.classOrdinal = cls.ordinal;
            item.className = PredefinedClassName(cls.ordinal);
            if (r.ok() && item.className.empty()) {
                return Report(error, "control " + std::to_string(i) + ": unknown class ordinal " +
                                         std::to_string(cls.ordinal));
            }
        } else {
            item.className = cls.name;
        }
        ResId title = r.StringOrOrdinal("control title");
        if (title.isOrdinal && title.ordinal != 0) {
            item.titleIsOrdinal = true;
            item.titleOrdinal = title.ordinal;
        } else if (!title.isOrdinal) {
            item.title = title.name;
        }
        uint16_t extraCount = r.U16("creation data size");
        r.Bytes(extraCount, &item.extra, "creation data");
        if (!r.ok()) {
            return Report(error, "control " + std::to_string(i) + ": " + r.error());
        }
        t.items.push_back(std::move(item));
    }
    *out = std::move(t);
    return true;
}

bool ParseStringBlock(const uint8_t* data, size_t size, std::vector<std::wstring>* out,
                      std::string* error) {
    Reader r(data, size);
    std::vector<std::wstring> strings;
    for (int i = 0; i < 16; ++i) {
        uint16_t length = r.U16("string length");
        if (!r.Need(size_t{length} * 2, "string")) {
            return Report(error, "string " + std::to_string(i) + ": " + r.error());
        }
        strings.push_back(base::FromUtf16LE(data + r.pos(), size_t{length} * 2));
        r.Skip(size_t{length} * 2, "string");
    }
    if (!r.ok()) {
        return Report(error, r);
    }
    *out = std::move(strings);
    return true;
}

bool ParseIconGroup(const uint8_t* data, size_t size, std::vector<IconGroupEntry>* out,
                    std::string* error) {
    Reader r(data, size);
    uint16_t reserved = r.U16("icon group header");
    uint16_t type = r.U16("icon group header");
    uint16_t count = r.U16("icon group header");
    if (!r.ok()) {
        return Report(error, r);
    }
    if (reserved != 0 || type != 1) {
        return Report(error, "not an icon group");
    }
    if (size_t{count} * 14 > r.remaining()) {
        return Report(error, "icon group: " + std::to_string(count) + " entries exceed the data");
    }
    std::vector<IconGroupEntry> entries;
    for (uint16_t i = 0; i < count; ++i) {
        IconGroupEntry e;
        uint8_t w = r.U8("icon entry");
        uint8_t h = r.U8("icon entry");
        e.width = w == 0 ? 256 : w;
        e.height = h == 0 ? 256 : h;
        e.colorCount = r.U8("icon entry");
        r.U8("icon entry");
        e.planes = r.U16("icon entry");
        e.bitCount = r.U16("icon entry");
        e.bytesInRes = r.U32("icon entry");
        e.iconId = r.U16("icon entry");
        entries.push_back(e);
    }
    if (!r.ok()) {
        return Report(error, r);
    }
    *out = std::move(entries);
    return true;
}

bool ParseBitmapInfo(const uint8_t* data, size_t size, BitmapInfo* out, std::string* error) {
    Reader r(data, size);
    uint32_t headerSize = r.U32("bitmap header");
    if (r.ok() && (headerSize < 40 || headerSize > size)) {
        return Report(error, "bad bitmap header size " + std::to_string(headerSize));
    }
    BitmapInfo b;
    b.width = static_cast<int32_t>(r.U32("bitmap header"));
    b.height = static_cast<int32_t>(r.U32("bitmap header"));
    b.planes = r.U16("bitmap header");
    b.bitCount = r.U16("bitmap header");
    b.compression = r.U32("bitmap header");
    if (!r.ok()) {
        return Report(error, r);
    }
    *out = b;
    return true;
}

bool SimResources::Load(const void* data, size_t size, std::string* error) {
    entries_.clear();
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (!bytes && size != 0) {
        return Report(error, "no data");
    }
    // The format's signature: an entry with no data, a 32-byte header and type and name
    // ordinal 0.
    static const uint8_t kEmptyEntry[16] = {0,    0,    0, 0, 0x20, 0,    0, 0,
                                            0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};
    if (size < 32 || std::memcmp(bytes, kEmptyEntry, sizeof(kEmptyEntry)) != 0) {
        return Report(error, "not a 32-bit resource file");
    }
    std::vector<ResEntry> entries;
    size_t pos = 32;
    while (pos < size) {
        size_t left = size - pos;
        Reader head(bytes + pos, left);
        uint32_t dataSize = head.U32("entry sizes");
        uint32_t headerSize = head.U32("entry sizes");
        if (!head.ok()) {
            return Report(error, "entry at " + std::to_string(pos) + ": " + head.error());
        }
        if (headerSize < 8 + 4 + 4 + 16 || headerSize > left) {
            return Report(error, "entry at " + std::to_string(pos) + ": bad header size " +
                                     std::to_string(headerSize));
        }
        if (dataSize > left - headerSize) {
            return Report(error, "entry at " + std::to_string(pos) + ": data size " +
                                     std::to_string(dataSize) + " exceeds the file");
        }
        // Type, name and the fixed fields must lie inside the header.
        Reader h(bytes + pos, headerSize);
        h.Skip(8, "entry sizes");
        ResEntry e;
        e.type = h.StringOrOrdinal("type");
        e.name = h.StringOrOrdinal("name");
        h.AlignDword();
        e.dataVersion = h.U32("entry header");
        e.memoryFlags = h.U16("entry header");
        e.language = h.U16("entry header");
        e.version = h.U32("entry header");
        e.characteristics = h.U32("entry header");
        if (!h.ok()) {
            return Report(error, "entry at " + std::to_string(pos) + ": " + h.error());
        }
        e.data.assign(bytes + pos + headerSize, bytes + pos + headerSize + dataSize);
        entries.push_back(std::move(e));
        size_t next = pos + headerSize + dataSize;
        next = (next + 3) & ~static_cast<size_t>(3);
        pos = next < size ? next : size;
    }
    entries_ = std::move(entries);
    return true;
}

const ResEntry* SimResources::Find(const ResId& type, const ResId& name, uint16_t language) const {
    for (const ResEntry& e : entries_) {
        if (e.language == language && e.type.Matches(type) && e.name.Matches(name)) {
            return &e;
        }
    }
    return nullptr;
}

const ResEntry* SimResources::FindForUiLanguage(uint16_t type, uint16_t id,
                                                uint16_t uiLanguage) const {
    uint16_t preferred = uiLanguage == win::kLangChineseSimplified ? win::kLangChineseSimplified
                                                                   : win::kLangEnglishUs;
    for (uint16_t lang : {preferred, uint16_t{0}, win::kLangEnglishUs}) {
        if (const ResEntry* e = Find(type, id, lang)) {
            return e;
        }
    }
    ResId t = ResId::Ordinal(type);
    ResId n = ResId::Ordinal(id);
    for (const ResEntry& e : entries_) {
        if (e.type.Matches(t) && e.name.Matches(n)) {
            return &e;
        }
    }
    return nullptr;
}

bool SimResources::LoadDialog(uint16_t id, uint16_t uiLanguage, DialogTemplate* out,
                              std::string* error) const {
    const ResEntry* e = FindForUiLanguage(kRtDialog, id, uiLanguage);
    if (!e) {
        return Report(error, "no dialog " + std::to_string(id));
    }
    return ParseDialogTemplate(e->data.data(), e->data.size(), out, error);
}

bool SimResources::LoadString(uint32_t id, uint16_t uiLanguage, std::wstring* out) const {
    if (id > 0xFFFF) {
        return false;
    }
    const ResEntry* e =
        FindForUiLanguage(kRtString, static_cast<uint16_t>(id / 16 + 1), uiLanguage);
    std::vector<std::wstring> block;
    if (!e || !ParseStringBlock(e->data.data(), e->data.size(), &block)) {
        return false;
    }
    const std::wstring& s = block[id % 16];
    if (s.empty()) {
        return false;
    }
    *out = s;
    return true;
}

}  // namespace sim
