#include "base/Text.h"

#include <gtest/gtest.h>

namespace {

TEST(TextTest, CaseInsensitiveEquality) {
    struct Row {
        const wchar_t* a;
        const wchar_t* b;
        bool equal;
    } rows[] = {
        {L"-silent", L"-SILENT", true},
        {L"/Silent", L"/sIlEnT", true},
        {L"-silent", L"-silentx", false},
        {L"", L"", true},
        {L"cvflt", L"CVFLT", true},
        {L"\u00C9t\u00E9", L"\u00E9T\u00C9", true},  // Latin-1 letters fold
        {L"\u0414\u0430", L"\u0434\u0410", true},    // Cyrillic
        {L"\u00D7", L"\u00F7", false},               // multiplication/division signs
        {L"[", L"{", false},                         // not letters: no folding
    };
    for (const auto& r : rows) {
        EXPECT_EQ(base::EqualsNoCase(r.a, r.b), r.equal)
            << base::ToUtf8(r.a) << " vs " << base::ToUtf8(r.b);
    }
}

TEST(TextTest, FindNoCaseAndStartsWith) {
    EXPECT_EQ(base::FindNoCase(L"abcKB3033929", L"kb3033929"), 3u);
    EXPECT_EQ(base::FindNoCase(L"KB3033929", L"kb3033929", 1), std::wstring::npos);
    EXPECT_EQ(base::FindNoCase(L"short", L"longer needle"), std::wstring::npos);
    EXPECT_EQ(base::FindNoCase(L"abc", L"", 2), 2u);
    EXPECT_EQ(base::FindNoCase(L"abc", L"a", 4), std::wstring::npos);
    EXPECT_TRUE(base::StartsWithNoCase(L"/CONFIG:x", L"/config:"));
    EXPECT_FALSE(base::StartsWithNoCase(L"/conf", L"/config:"));
    EXPECT_EQ(base::ToLower(L"KB2763674 \u0110"), L"kb2763674 \u0111");
}

TEST(TextTest, ReplaceAllDoesNotRescan) {
    struct Row {
        const wchar_t* text;
        const wchar_t* from;
        const wchar_t* to;
        const wchar_t* expected;
        size_t count;
    } rows[] = {
        {L"<PRODUCT> <VERSION>", L"<PRODUCT>", L"Corvane", L"Corvane <VERSION>", 1},
        {L"aaa", L"a", L"aa", L"aaaaaa", 3},  // replacement holds the pattern
        {L"<P><P>", L"<P>", L"<P><P>", L"<P><P><P><P>", 2},
        {L"abc", L"", L"x", L"abc", 0},                       // empty pattern: nothing
        {L"abab", L"aba", L"X", L"Xb", 1},                    // no overlap
        {L"<product>", L"<PRODUCT>", L"X", L"<product>", 0},  // case-sensitive
    };
    for (const auto& r : rows) {
        std::wstring s = r.text;
        EXPECT_EQ(base::ReplaceAll(s, r.from, r.to), r.count) << base::ToUtf8(r.text);
        EXPECT_EQ(s, r.expected) << base::ToUtf8(r.text);
    }
}

TEST(TextTest, TrimTrailingBackslashes) {
    EXPECT_EQ(base::TrimmedTrailingBackslashes(L"C:\\Program Files\\\\"), L"C:\\Program Files");
    EXPECT_EQ(base::TrimmedTrailingBackslashes(L"C:\\"), L"C:");
    EXPECT_EQ(base::TrimmedTrailingBackslashes(L"\\\\"), L"");
    EXPECT_EQ(base::TrimmedTrailingBackslashes(L"a\\b"), L"a\\b");
}

TEST(TextTest, FormatIsUnbounded) {
    EXPECT_EQ(base::Format(L"%d.%d.%d.%d", 1, 4, 0, 672), L"1.4.0.672");
    EXPECT_EQ(base::Format(L"\"%ls\\CorvaneWarden.exe\" /Auto", L"C:\\P"),
              L"\"C:\\P\\CorvaneWarden.exe\" /Auto");
    EXPECT_EQ(base::Format(L"[ % 16ls ] | ", L"Corvane"), L"[          Corvane ] | ");
    EXPECT_EQ(base::Format(L"%02x%02x", 0xab, 7), L"ab07");
    const std::wstring longText(100000, L'x');
    EXPECT_EQ(base::Format(L"<%ls>", longText.c_str()).size(), longText.size() + 2);
}

TEST(TextTest, Utf16LERoundTrip) {
    const std::wstring text = L"C:\\\u4E2D\u6587";
    const auto bytes = base::ToUtf16LE(text);
    const std::vector<uint8_t> expected = {'C', 0, ':', 0, '\\', 0, 0x2D, 0x4E, 0x87, 0x65};
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(base::FromUtf16LE(bytes.data(), bytes.size()), text);

    const uint8_t withNull[] = {'a', 0, 0, 0, 'b', 0, 'c'};  // odd trailing byte ignored
    EXPECT_EQ(base::FromUtf16LE(withNull, sizeof withNull), std::wstring(L"a\0b", 3));
    EXPECT_EQ(base::FromUtf16LEUntilNull(withNull, sizeof withNull), L"a");
    const uint8_t unterminated[] = {'x', 0, 'y', 0};
    EXPECT_EQ(base::FromUtf16LEUntilNull(unterminated, sizeof unterminated), L"xy");
}

TEST(TextTest, Utf8RoundTripAndInvalidInput) {
    const std::wstring text = L"Corvane \u4E2D\u6587 \u00E9";
    EXPECT_EQ(base::FromUtf8(base::ToUtf8(text)), text);
    EXPECT_EQ(base::FromUtf8("a\xFF"
                             "b"),
              L"a\uFFFDb");
    EXPECT_EQ(base::FromUtf8("\xE4\xB8"), L"\uFFFD\uFFFD");  // truncated sequence
}

}  // namespace
