// The tray's click rule with the times the shell's messages come at: the click that ends a double
// click is no click of its own, whatever the tick count reads.
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/autostart.h"
#include "app/tray.h"

TEST(TrayClicks, TheClickEndingADoubleClickIsNoClickOfItsOwn) {
    const DWORD DOUBLE_CLICK_MS = 500;
    struct RCase {
        const char* name;
        std::vector<std::pair<char, DWORD>> events; // 'c' a click, 'd' the double click, at a tick
        std::vector<bool> counted;                  // of each click
    } cases[] = {
        {"a click", {{'c', 1000}}, {true}},
        {"in one tick", {{'c', 1000}, {'d', 1000}, {'c', 1000}}, {true, false}},
        {"in one odd tick", {{'c', 1001}, {'d', 1001}, {'c', 1001}}, {true, false}},
        {"ticks apart", {{'c', 1000}, {'d', 1010}, {'c', 1020}}, {true, false}},
        {"after the double-click time", {{'d', 1000}, {'c', 1501}}, {true}},
        {"only the one click after it", {{'d', 1000}, {'c', 1001}, {'c', 1002}}, {false, true}},
        {"across the tick count's wrap", {{'d', 0xFFFFFFF0u}, {'c', 0x10}}, {false}},
    };
    for (const RCase& c : cases) {
        app::CTrayClicks clicks;
        std::vector<bool> counted;
        for (const auto& event : c.events) {
            if (event.first == 'd') {
                clicks.double_clicked(event.second);
            } else {
                counted.push_back(clicks.click_counts(event.second, DOUBLE_CLICK_MS));
            }
        }
        EXPECT_EQ(counted, c.counted) << c.name;
    }
}

namespace {

const std::vector<BYTE> NONE = {'-'};

// The user's value "Pelikant" under a key (NONE: none), put back as it was when the test ends.
class CValue {
public:
    explicit CValue(const wchar_t* key) : key_(key) { kept_ = get(&type_); }
    ~CValue() { set(kept_, type_); }
    std::vector<BYTE> get(DWORD* type = nullptr) const {
        std::vector<BYTE> data(65536);
        DWORD bytes = static_cast<DWORD>(data.size());
        const LSTATUS read = RegGetValueW(HKEY_CURRENT_USER, key_, L"Pelikant", RRF_RT_ANY | RRF_NOEXPAND,
                                          type, data.data(), &bytes);
        return read == ERROR_SUCCESS ? std::vector<BYTE>(data.begin(), data.begin() + bytes) : NONE;
    }
    void set(const std::vector<BYTE>& data, DWORD type = REG_BINARY) const {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key_, L"Pelikant");
        if (data != NONE) {
            RegSetKeyValueW(HKEY_CURRENT_USER, key_, L"Pelikant", type, data.data(),
                            static_cast<DWORD>(data.size()));
        }
    }
    void set(const std::wstring& text) const { // "-": none
        const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
        set(text == L"-" ? NONE : std::vector<BYTE>(bytes, bytes + (text.size() + 1) * 2), REG_SZ);
    }

private:
    const wchar_t* key_;
    DWORD type_ = REG_NONE;
    std::vector<BYTE> kept_;
};

} // namespace

// "Uruchamiaj razem z Windows" is checked only while the Run value starts this copy and Task Manager
// leaves it on; checking it (from the last case) makes both so, unchecking deletes the Run value.
TEST(Autostart, CheckedOnlyWhileTheRunValueStartsThisCopyAndTaskManagerLeavesItOn) {
    const CValue run(L"Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    const CValue approved(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run");
    std::wstring exe(MAX_PATH, L'\0'), upper;
    exe.resize(GetModuleFileNameW(nullptr, &exe[0], MAX_PATH));
    CharUpperW(&(upper = exe)[0]);
    const std::wstring quoted = L"\"" + exe + L"\" /tray", other = L"\"C:\\Inne\\pelikant.exe\"";
    const std::vector<BYTE> ON(12, 2), OFF(12, 3);
    const struct {
        std::wstring run;
        std::vector<BYTE> approved;
        bool checked;
    } cases[] = {{L"-", NONE, false},  {quoted, NONE, true}, {exe + L" /tray", NONE, true},
                 {upper, NONE, true},  {other, NONE, false}, {exe + L"x /tray", NONE, false},
                 {quoted, ON, true},   {quoted, OFF, false}, {quoted, {}, true},
                 {quoted, {3}, false}, {other, OFF, false}};
    for (const auto& c : cases) {
        run.set(c.run);
        approved.set(c.approved);
        EXPECT_EQ(app::starts_with_windows(), c.checked) << "case " << &c - cases;
    }
    ASSERT_TRUE(app::set_start_with_windows(true));
    EXPECT_TRUE(app::starts_with_windows());
    ASSERT_TRUE(app::set_start_with_windows(false));
    EXPECT_EQ(run.get(), NONE);
}
