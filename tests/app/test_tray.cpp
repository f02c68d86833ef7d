// The tray's rules: the click that ends a double click is no click of its own, whatever the tick
// count reads; a balloon's click, the pause, the tip and the menu's state.
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/autostart.h"
#include "app/pause.h"
#include "app/tray.h"
#include "app/user_quiet.h"
#include "beside_test.h"
#include "resources/resource.h"

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

TEST(TrayBalloons, AClickOpensATopicOnlyWhenNoOtherBalloonCanHaveBeenClicked) {
    // A digit: a balloon naming that topic, '-' one naming none, 'c' a click; then what each click
    // opened ('-': the window shows).
    const std::pair<std::string, std::string> cases[] = {
        {"7c", "7"}, {"78c", "-"}, {"789c5c", "-5"}, {"7cc", "7-"}, {"-c", "-"}, {"c", "-"},
    };
    for (const auto& c : cases) {
        app::CBalloonClicks clicks;
        std::string opened;
        for (char event : c.first) {
            if (event == 'c') {
                const std::int32_t topic = clicks.clicked();
                opened += topic < 0 ? '-' : static_cast<char>('0' + topic);
            } else {
                clicks.shown(event == '-' ? -1 : event - '0');
            }
        }
        EXPECT_EQ(opened, c.second) << c.first;
    }
}

TEST(TrayBalloons, WaitWhileTheUserCannotOrWouldRatherNotReadThem) {
    for (int state = QUNS_NOT_PRESENT; state <= QUNS_QUIET_TIME + 1; ++state) {
        const bool held = state != QUNS_ACCEPTS_NOTIFICATIONS && state <= QUNS_QUIET_TIME;
        EXPECT_EQ(app::holds_balloons(static_cast<QUERY_USER_NOTIFICATION_STATE>(state)), held) << state;
    }
}

TEST(TrayPause, UntilTomorrowEndsAtTheComingEightOClockAfterTheNight) {
    const auto local = [](WORD year, WORD month, WORD day, WORD hour, WORD minute) {
        return SYSTEMTIME{year, month, 0, day, hour, minute, 59, 999};
    };
    const std::pair<SYSTEMTIME, int> cases[] = {
        // chosen at, the day it ends
        {local(2026, 3, 10, 3, 59), 20260310},  {local(2026, 3, 10, 4, 0), 20260311},
        {local(2026, 3, 10, 7, 59), 20260311},  {local(2026, 3, 10, 8, 0), 20260311},
        {local(2026, 3, 10, 23, 59), 20260311}, {local(2026, 4, 30, 12, 0), 20260501},
        {local(2026, 2, 28, 12, 0), 20260301},  {local(2028, 2, 28, 12, 0), 20280229},
        {local(2100, 2, 28, 12, 0), 21000301},  {local(2026, 12, 31, 23, 59), 20270101},
        {local(2027, 1, 1, 3, 0), 20270101},
    };
    for (const auto& c : cases) {
        const SYSTEMTIME at = app::pause_end_tomorrow(c.first);
        EXPECT_EQ(at.wYear * 10000 + at.wMonth * 100 + at.wDay, c.second);
        EXPECT_EQ((std::vector<WORD>{at.wHour, at.wMinute, at.wSecond, at.wMilliseconds}),
                  (std::vector<WORD>{8, 0, 0, 0}));
        EXPECT_EQ(app::pause_line(at, c.first), std::wstring(L"Powiadomienia wstrzymane do ") +
                                                    (at.wDay == c.first.wDay ? L"" : L"jutra, ") + L"08:00");
    }
    // An hour's pause over midnight; a clock put back by a day.
    EXPECT_EQ(app::pause_line(local(2026, 1, 1, 0, 30), local(2025, 12, 31, 23, 30)),
              L"Powiadomienia wstrzymane do jutra, 00:30");
    EXPECT_EQ(app::pause_line(local(2026, 3, 12, 8, 0), local(2026, 3, 10, 9, 0)),
              L"Powiadomienia wstrzymane do 12.03, 08:00");
}

TEST(TrayTip, KeepsTheMostImportantWithinTheShellsLimit) {
    const std::wstring HINT = L"Win+Shift+P: szukaj w dokumentacji", X110(110, L'x');
    const std::wstring NEWS = L"4 nowe posty w 2 tematach\nPowiadomienia wstrzymane do 18:30",
                       LONGEST = L"99999 nowych postów w 99999 tematach";
    const std::pair<std::vector<std::wstring>, std::wstring> cases[] = {
        {{NEWS, L"sprawdzono 17:30"}, NEWS + L"\nsprawdzono 17:30\n" + HINT},
        {{NEWS, L"sprawdzono 17:30 (bez zmian)"}, NEWS + L"\nsprawdzono 17:30 (bez zmian)"},
        // The longest the feed gives: a five-digit count, a pause until tomorrow, its longest state.
        {{LONGEST, L"Powiadomienia wstrzymane do jutra, 08:00", L"odpowiedź nie jest listą tematów (23:59)"},
         LONGEST + L"\nPowiadomienia wstrzymane do jutra, 08:00\nodpowiedź nie jest listą tematów…"},
        {{X110, L"sprawdzono 17:30"}, X110},
        {{X110 + X110}, X110 + std::wstring(6, L'x') + L"…"},
    };
    for (const auto& c : cases) {
        const std::wstring tip = app::tray_tip(c.first, HINT);
        EXPECT_EQ(tip, L"Pelikant: " + c.second);
        EXPECT_LE(tip.size(), app::TIP_UNITS);
    }
}

TEST(TrayMenu, GreysWhatWouldDoNothingAndChecksThePauseAndOnlyFollowed) {
    HMODULE exe = LoadLibraryExA(beside_test("pelikant_e2e.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const wapi::CMenu menu(LoadMenuW(exe, MAKEINTRESOURCEW(IDM_TRAY)));
    HMENU popup = GetSubMenu(menu.get(), 0);
    ASSERT_NE(popup, nullptr);
    // The items by their place, '-' greyed, 'x' checked, ' ' the separator; then the pause's own.
    const auto shown = [](HMENU items) {
        std::string out;
        for (int at = 0; at < GetMenuItemCount(items); ++at) {
            const UINT is = GetMenuState(items, at, MF_BYPOSITION);
            out += is & MF_SEPARATOR ? ' ' : is & MF_GRAYED ? '-' : is & MF_CHECKED ? 'x' : '.';
        }
        return out;
    };
    const std::pair<app::RTrayMenuState, const char*> cases[] = {
        {{false, false, false}, "..-... .|..-"},
        {{true, false, false}, "...... .|..-"},
        {{false, true, false}, "..-x.. .|..."},
        {{true, true, true}, "...xx. .|..."},
    };
    for (const auto& c : cases) {
        app::show_menu_state(popup, c.first);
        EXPECT_EQ(shown(popup) + "|" + shown(GetSubMenu(popup, 3)), c.second)
            << c.first.news << c.first.paused << c.first.only_followed;
    }
    FreeLibrary(exe);
}
