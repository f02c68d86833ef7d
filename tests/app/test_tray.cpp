// The tray's click rule with the times the shell's messages come at: the click that ends a double
// click is no click of its own, whatever the tick count reads.
#include <utility>
#include <vector>

#include <gtest/gtest.h>

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
