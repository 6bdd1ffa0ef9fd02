#include "window/file_commands.h"

#include "engine/driver_file.h"
#include "toolkit/controls.h"
#include "toolkit/file_dialog.h"
#include "toolkit/test_support/box_catcher.h"
#include "toolkit/test_support/dialog_driver.h"
#include "toolkit/test_support/file_bytes.h"
#include "window/calculator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

std::string temp_dir() {
    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    return path;
}

std::string temp_path(const char *name) {
    return temp_dir() + "elemtrix-" + name;
}

bool exists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

const Texts SAMPLE = {
    " \xE5\xE4\xF6 Bas 8\" ", "12,5", "6", "", " 40 ", "50", "3", "0.45", "0.39", "25", "20"};

struct FileCommands : ::testing::Test {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND window = nullptr;

    void SetUp() override { open_window(); }
    void TearDown() override { close_window(); }

    void open_window() {
        window = create_calculator(instance);
        ASSERT_NE(window, nullptr);
    }
    void close_window() {
        if (IsWindow(window))
            DestroyWindow(window);
        UnregisterClassA(CALCULATOR_TITLE, instance);
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    void set_fields(const Texts &texts) {
        for (int line = 0; line < DRIVER_FILE_LINES; ++line)
            wt_set_text(calculator_field(line), texts[line].c_str());
    }
    Texts fields() const {
        Texts texts;
        for (int line = 0; line < DRIVER_FILE_LINES; ++line) {
            char text[512];
            GetWindowTextA(calculator_field(line), text, sizeof text);
            texts.push_back(text);
        }
        return texts;
    }
    // Runs a command with its dialog answered as planned; returns the message boxes it showed.
    std::vector<CaughtBox> run(WPARAM command, std::vector<DialogAnswer> plan) {
        DialogDriver driver(std::move(plan));
        start_catching_boxes();
        SendMessageA(window, WM_COMMAND, command, 0);
        std::vector<CaughtBox> boxes = stop_catching_boxes();
        EXPECT_EQ(driver.unplanned(), 0);
        last_dialogs = driver.file_dialogs();
        return boxes;
    }
    std::vector<CaughtBox> save_as(const std::string &path) { return run(ID_SAVE, {{IDOK, path}}); }
    std::vector<CaughtBox> open(const std::string &path) { return run(ID_OPEN, {{IDOK, path}}); }

    std::vector<SeenFileDialog> last_dialogs;
};

std::string file_bytes(const Texts &texts) {
    std::string bytes;
    for (const std::string &t : texts)
        bytes += t + "\r\n";
    return bytes;
}

TEST_F(FileCommands, SavedTextsComeBackInAFreshWindow) {
    const std::string path = temp_path("roundtrip.spk");
    DeleteFileA(path.c_str());
    set_fields(SAMPLE);
    EXPECT_TRUE(save_as(path).empty());
    EXPECT_EQ(bytes_of(path), file_bytes(SAMPLE));
    close_window();
    open_window();
    EXPECT_TRUE(open(path).empty());
    EXPECT_EQ(fields(), SAMPLE);
    char title[128];
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, CALCULATOR_TITLE); // neither command names the file in the title
}

TEST_F(FileCommands, DialogsShowTheirTitlesAndTheSpeakerFilter) {
    const std::string path = temp_path("filter.spk");
    put_bytes(path, file_bytes(SAMPLE));
    open(path);
    ASSERT_EQ(last_dialogs.size(), 1u);
    EXPECT_EQ(last_dialogs[0].title, "H\xE4mta sparad elementdata");
    EXPECT_EQ(last_dialogs[0].first_filter, "Speaker filer (*.spk) ");
    const char list[] = "Speaker filer (*.spk) \0*.spk\0";
    EXPECT_EQ(std::memcmp(wt_open_record().lpstrFilter, list, sizeof list), 0);
    save_as(path);
    ASSERT_EQ(last_dialogs.size(), 1u);
    EXPECT_EQ(last_dialogs[0].title, "xxx");
    EXPECT_EQ(std::memcmp(wt_save_record().lpstrFilter, list, sizeof list), 0);
}

TEST_F(FileCommands, SavingTwiceReplacesTheFile) {
    const std::string path = temp_path("twice.spk");
    put_bytes(path, std::string(500, 'x'));
    set_fields(SAMPLE);
    save_as(path);
    Texts changed = SAMPLE;
    changed[0] = "B";
    set_fields(changed);
    save_as(path);
    EXPECT_EQ(bytes_of(path), file_bytes(changed));
}

TEST_F(FileCommands, CancelChangesNothing) {
    const std::string path = temp_path("cancel.spk");
    DeleteFileA(path.c_str());
    set_fields(SAMPLE);
    EXPECT_TRUE(run(ID_SAVE, {{IDCANCEL, path}}).empty());
    EXPECT_FALSE(exists(path));
    set_fields(Texts(DRIVER_FILE_LINES, "typed"));
    EXPECT_TRUE(run(ID_OPEN, {{IDCANCEL, ""}}).empty());
    EXPECT_EQ(fields(), Texts(DRIVER_FILE_LINES, "typed"));
}

TEST_F(FileCommands, WhatOddFilesPutInTheFields) {
    struct Case {
        const char *name;
        std::string bytes;
        Texts shown;
    } cases[] = {
        {"four.spk", "A\r\n1\r\n2\r\n3\r\n", {"A", "1", "2", "3", "", "", "", "", "", "", ""}},
        {"empty.spk", "", Texts(DRIVER_FILE_LINES, "")},
        {"lf.spk",
         "n\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n",
         {"n", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
        {"long.spk",
         std::string(300, 'a') + "\r\n" + std::string(300, 'b') + "\r\n",
         {std::string(100, 'a'), "", "", "", "", "", "", "", "", "", ""}},
        {"binary.spk",
         std::string("\x01\xFF\r\n\x7F\x00zz\r\n123456789\r\n", 16),
         {"\x01\xFF", "\x7F", "", "", "", "", "", "", "", "", ""}},
        {"wide.spk",
         "n\r\n123456789\r\n1\r\n1\r\n12345\r\n",
         {"n", "12345678", "1", "1", "1234", "", "", "", "", "", ""}},
    };
    for (const Case &c : cases) {
        set_fields(Texts(DRIVER_FILE_LINES, "before"));
        const std::string path = temp_path(c.name);
        put_bytes(path, c.bytes);
        EXPECT_TRUE(open(path).empty()) << c.name;
        EXPECT_EQ(fields(), c.shown) << c.name;
    }
}

TEST_F(FileCommands, OpeningBAfterAShowsOnlyB) {
    const std::string a = temp_path("a.spk"), b = temp_path("b.spk");
    put_bytes(a, file_bytes(SAMPLE));
    put_bytes(b, "B\r\n30\r\n");
    open(a);
    open(b);
    EXPECT_EQ(fields(), (Texts{"B", "30", "", "", "", "", "", "", "", "", ""}));
}

TEST_F(FileCommands, OfSeveralFilesChosenTheFirstIsOpened) {
    const std::string folder = temp_dir();
    put_bytes(folder + "elemtrix-m1.spk", "first\r\n1\r\n");
    put_bytes(folder + "elemtrix-m2.spk", "second\r\n2\r\n");
    // Typing the folder opens it; the dialog then takes the two names.
    EXPECT_TRUE(
        run(ID_OPEN, {{IDOK, folder}, {IDOK, "\"elemtrix-m1.spk\" \"elemtrix-m2.spk\""}}).empty());
    EXPECT_EQ(fields(), (Texts{"first", "1", "", "", "", "", "", "", "", "", ""}));
}

TEST_F(FileCommands, EachDialogStartsFromItsOwnLastFile) {
    const std::string saved = temp_path("saved.spk"), opened = temp_path("opened.spk");
    put_bytes(opened, file_bytes(SAMPLE));
    save_as(saved);
    open(opened);
    save_as(saved);
    ASSERT_EQ(last_dialogs.size(), 1u);
    EXPECT_NE(last_dialogs[0].proposed_name.find("saved.spk"), std::string::npos);
    open(opened);
    ASSERT_EQ(last_dialogs.size(), 1u);
    EXPECT_NE(last_dialogs[0].proposed_name.find("opened.spk"), std::string::npos);
}

TEST_F(FileCommands, AFileThatCannotBeReadIsReportedAndTheFieldsStay) {
    const std::string path = temp_path("locked.spk");
    put_bytes(path, file_bytes(SAMPLE));
    // Held open with no sharing: the program cannot open it, though the dialog can choose it.
    HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    set_fields(Texts(DRIVER_FILE_LINES, "typed"));
    const std::vector<CaughtBox> boxes = open(path);
    CloseHandle(lock);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "FILFEL");
    EXPECT_EQ(boxes[0].text, "Filen kunde inte l\xE4sas:\n" + path);
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(boxes[0].owner, window);
    EXPECT_EQ(fields(), Texts(DRIVER_FILE_LINES, "typed"));
}

TEST_F(FileCommands, AFileThatCannotBeWrittenIsReportedAndKept) {
    for (const bool read_only : {false, true}) {
        const std::string path = temp_path(read_only ? "read-only.spk" : "held.spk");
        put_bytes(path, "earlier\r\n");
        HANDLE lock = INVALID_HANDLE_VALUE;
        if (read_only)
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        else
            lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        set_fields(SAMPLE);
        const std::vector<CaughtBox> boxes = save_as(path);
        CloseHandle(lock);
        // The dialog first asks whether to replace the file; then the failure is reported.
        ASSERT_FALSE(boxes.empty()) << path;
        EXPECT_EQ(boxes.back().caption, "FILFEL");
        EXPECT_EQ(boxes.back().text, "Filen kunde inte sparas:\n" + path);
        EXPECT_EQ(boxes.back().style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
        EXPECT_EQ(bytes_of(path), "earlier\r\n");
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(FileCommands, ASaveIntoAMissingFolderIsReported) {
    const std::string path = temp_dir() + "no-such-folder\\x.spk";
    set_fields(SAMPLE);
    const std::vector<CaughtBox> boxes = save_as(path);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "FILFEL");
    EXPECT_EQ(boxes[0].text, "Filen kunde inte sparas:\n" + path);
    EXPECT_FALSE(exists(path));
}

} // namespace
