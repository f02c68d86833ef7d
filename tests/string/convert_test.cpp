#include "string/convert.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

TEST(Convert, Utf8BothWays) {
    string::basic_string<char> utf8("stale");
    ASSERT_TRUE(string::to_utf8(L"\u0142", utf8));
    EXPECT_STREQ(utf8.c_str(), "\xC5\x82");
    string::basic_string<wchar_t> wide(L"stale");
    ASSERT_TRUE(string::from_utf8(utf8, wide));
    EXPECT_TRUE(wide.equals(L"\u0142"));
    EXPECT_TRUE(string::to_utf8(L"", utf8) && utf8.is_empty());
    EXPECT_TRUE(string::from_utf8(string::weak_string<char>(), wide) && wide.is_empty());

    string::basic_string<wchar_t> text; // spread over many chunks
    std::wstring model;
    for (int i = 0; i < 300; ++i) {
        text.append(L"Żółw ");
        text.prepend(1, L"ą");
        model = L"ą" + model + L"Żółw ";
    }
    ASSERT_TRUE(string::to_utf8(text, utf8));
    EXPECT_EQ(utf8.length(), 300 * (2 + 8));
    ASSERT_TRUE(string::from_utf8(utf8, wide));
    EXPECT_TRUE(wide.equals(model));
}

TEST(Convert, CodePage1250BothWays) {
    string::basic_string<char> narrow;
    ASSERT_TRUE(string::to_code_page(1250, L"Zażółć gęślą jaźń", narrow));
    EXPECT_STREQ(narrow.c_str(), "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1");
    string::basic_string<wchar_t> wide;
    ASSERT_TRUE(string::from_code_page(1250, narrow, wide));
    EXPECT_TRUE(wide.equals(L"Zażółć gęślą jaźń"));
}

TEST(Convert, AnsiCodePage) {
    string::basic_string<char> ansi;
    ASSERT_TRUE(string::to_ansi(L"http://x/?q=abc", ansi));
    EXPECT_STREQ(ansi.c_str(), "http://x/?q=abc");
    if (GetACP() != 1250) {
        GTEST_SKIP() << "the system code page is " << GetACP() << ", not the Polish 1250 of the tests";
    }
    ASSERT_TRUE(string::to_ansi(L"ł", ansi));
    EXPECT_STREQ(ansi.c_str(), "\xB3");
}

} // namespace

TEST(Escape, OnlyLettersAndDigitsStay) {
    EXPECT_STREQ(string::url_escape(string::weak_string<char>("std::vector \xc5\x82-._~")).c_str(),
                 "std%3A%3Avector%20%C5%82%2D%2E%5F%7E");
    EXPECT_EQ(string::url_escape(string::weak_string<char>("")).length(), 0);

    for (int byte = 1; byte < 256; ++byte) {
        const char text[2] = {static_cast<char>(byte), 0};
        const std::string got = string::url_escape(string::weak_string<char>(text)).c_str();
        const bool alnum =
            (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
        char expected[4];
        if (alnum) {
            snprintf(expected, sizeof(expected), "%c", byte);
        } else {
            snprintf(expected, sizeof(expected), "%%%02X", byte);
        }
        EXPECT_EQ(got, expected) << "byte " << byte;
    }
    // A zero byte inside the text is escaped too, not taken as its end.
    std::string with_zero("a\0b", 3);
    EXPECT_STREQ(string::url_escape(string::weak_string<char>(with_zero)).c_str(), "a%00b");
}
