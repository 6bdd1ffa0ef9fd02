// Starts the built program itself, as a user would.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

const char TITLE[] = "Elemtrix       Beräknar TS-parametrar ur uppmätt element";

// The build gives a POSIX path; Wine shows the root file system as drive Z.
std::string program_path() {
    std::string path = std::string("Z:") + ELEMTRIX_EXE;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

struct Started {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
};

Started start(const std::string &arguments) {
    Started s;
    std::string command = "\"" + program_path() + "\" " + arguments;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &s.process))
        return s;
    WaitForInputIdle(s.process.hProcess, 10000);
    // FindWindow sees the window from its creation on, before it is shown: wait for both.
    for (int tries = 0; tries < 1000; ++tries, Sleep(10)) {
        s.window = FindWindowA(TITLE, TITLE);
        if (s.window && IsWindowVisible(s.window))
            break;
    }
    return s;
}

DWORD close_and_wait(Started &s) {
    PostMessageA(s.window, WM_CLOSE, 0, 0);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(s.process.hProcess, 10000) == WAIT_OBJECT_0)
        GetExitCodeProcess(s.process.hProcess, &code);
    CloseHandle(s.process.hThread);
    CloseHandle(s.process.hProcess);
    return code;
}

TEST(Program, ShowsItsWindowCentredAndEndsWithZero) {
    Started s = start("");
    ASSERT_NE(s.window, nullptr);
    RECT r;
    GetWindowRect(s.window, &r);
    const int caption = GetSystemMetrics(SM_CYCAPTION);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top + caption)) / 2);
    EXPECT_TRUE(IsWindowVisible(s.window));
    EXPECT_EQ(close_and_wait(s), 0u);
}

TEST(Program, IgnoresItsArguments) {
    Started s = start("driver.spk");
    ASSERT_NE(s.window, nullptr);
    HWND name_field = FindWindowExA(s.window, nullptr, "Edit", nullptr);
    char text[8] = "x";
    SendMessageA(name_field, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "");
    EXPECT_EQ(close_and_wait(s), 0u);
}

} // namespace
