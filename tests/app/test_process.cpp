// The program as a process: single instance, clean exit, restart.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "resources/resource.h"
#include "started_process.h"

TEST(Process, SecondInstanceExitsAtOnceAndFirstKeepsRunning) {
    CProcess first(beside_test("pelikant.exe"));
    ASSERT_TRUE(first.started());
    HWND window = first.main_window(20000);
    ASSERT_NE(window, nullptr) << "the main window never appeared";

    CProcess second(beside_test("pelikant.exe"));
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.wait(10000), 0) << "the second copy must end by itself with code 0";
    EXPECT_EQ(first.wait(500), -1) << "the first copy must keep running";
    EXPECT_TRUE(IsWindow(window));

    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0); // "Zakończ"
    EXPECT_EQ(first.wait(15000), 0);
}

TEST(Process, ClosingEndsWithZeroAndANewStartSucceeds) {
    for (int round = 0; round < 2; ++round) {
        CProcess program(beside_test("pelikant.exe"));
        ASSERT_TRUE(program.started());
        HWND window = program.main_window(20000);
        ASSERT_NE(window, nullptr) << "round " << round;
        EXPECT_EQ(program.wait(300), -1) << "round " << round << ": ended before it was closed";
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0); // "Zakończ"
        EXPECT_EQ(program.wait(15000), 0) << "round " << round;
    }
}

TEST(Process, WindowThatCannotBeCreatedEndsWithZero) {
    CProcess program(beside_test("failing_window.exe"));
    ASSERT_TRUE(program.started());
    EXPECT_EQ(program.wait(15000), 0);
}
