#include "string/basic_string.h"
#include "string/weak_string.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WeakString, ViewsOfEverySource) {
    const std::wstring standard = L"łódź", empty_standard;
    const string::basic_string<wchar_t> ours(L"łódź"), empty_ours;
    struct Case {
        string::weak_string<wchar_t> view;
        int length;
    };
    for (const Case& c : {Case{L"łódź", 4}, Case{standard, 4}, Case{ours, 4}, Case{L"", 0},
                          Case{empty_standard, 0}, Case{empty_ours, 0}, Case{{}, 0}}) {
        EXPECT_EQ(c.view.length(), c.length);
        EXPECT_EQ(c.view.is_empty(), c.length == 0);
        EXPECT_EQ(std::wstring(c.length ? c.view.c_str() : L""), c.length ? L"łódź" : L"");
    }
    EXPECT_EQ(string::weak_string<wchar_t>().c_str(), nullptr);
    EXPECT_EQ(string::weak_string<wchar_t>(standard).c_str(), standard.c_str());
}

TEST(WeakString, ToInt) {
    struct Case {
        const wchar_t* text;
        int value;
        bool ok;
    };
    const Case cases[] = {
        {L"007", 7, true},
        {L"7 ", 7, false},
        {L"12a", 12, false},
        {L"", 0, true},
        {L"-5", -5, true},
        {L" 42", 42, true},
        {L"x", 0, false},
        {L"  ", 0, false},
        {nullptr, 0, true},
        {L"2147483647", 2147483647, true},
        // Out of range values clamp like wcstol on a 32-bit long and count as read.
        {L"99999999999", 2147483647, true},
        {L"-99999999999", -2147483647 - 1, true},
        {L"99999999999x", 2147483647, false},
    };
    for (const Case& c : cases) {
        std::int32_t value = -1;
        EXPECT_EQ(string::weak_string<wchar_t>(c.text).to_int(value), c.ok) << c.text;
        if (c.value != -1) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

} // namespace
