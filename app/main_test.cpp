// Starts the built program itself, as a user would.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
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

std::string name_field_text(HWND window) {
    HWND name_field = FindWindowExA(window, nullptr, "Edit", nullptr);
    char text[128] = "";
    SendMessageA(name_field, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string temp_file(const char *name, const std::string &bytes) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + name;
    FILE *out = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    return path;
}

// As Explorer starts it for a double-clicked driver file: the name in quotes.
TEST(Program, OpensTheFileNamedOnItsCommandLine) {
    const std::string path = temp_file("elemtrix main test.spk", "Dubbelklickad\r\n30\r\n");
    Started s = start("\"" + path + "\"");
    ASSERT_NE(s.window, nullptr);
    std::string name;
    for (int tries = 0; tries < 500 && name.empty(); ++tries, Sleep(10))
        name = name_field_text(s.window);
    EXPECT_EQ(name, "Dubbelklickad");
    EXPECT_EQ(close_and_wait(s), 0u);
}

TEST(Program, AFileOnItsCommandLineThatCannotBeReadIsSaid) {
    Started s = start("no-such-driver.spk");
    ASSERT_NE(s.window, nullptr);
    HWND box = nullptr;
    for (int tries = 0; tries < 500 && !box; ++tries, Sleep(10))
        box = FindWindowA("#32770", "FILFEL");
    ASSERT_NE(box, nullptr);
    char text[256] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    EXPECT_STREQ(text, "Filen kunde inte l\xE4sas:\nno-such-driver.spk");
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(name_field_text(s.window), "");
    EXPECT_EQ(close_and_wait(s), 0u);
}

} // namespace
