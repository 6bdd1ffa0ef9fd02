#include "toolkit/file_dialog.h"

#include "toolkit/test_support/dialog_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

const char OWNER_TITLE[] = "Owner";

HWND owner() {
    static HWND window = [] {
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = DefWindowProcA;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.lpszClassName = "FileDialogTestOwner";
        RegisterClassA(&window_class);
        return CreateWindowExA(0, window_class.lpszClassName, OWNER_TITLE,
                               WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr, nullptr,
                               window_class.hInstance, nullptr);
    }();
    return window;
}

std::string owner_title() {
    char text[WT_PATH_SIZE] = "";
    GetWindowTextA(owner(), text, WT_PATH_SIZE);
    return text;
}

// A folder of its own under the temporary folder, with the given files in it.
std::string folder_with(std::initializer_list<const char *> files) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "file_dialog_test\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char *file : files)
        fclose(fopen((folder + file).c_str(), "w"));
    return folder;
}

// The bytes of a filter list up to and including the NUL pair that ends it.
std::string list_bytes(const char *list) {
    size_t size = 0;
    while (list[size] != '\0' || list[size + 1] != '\0')
        ++size;
    return std::string(list, size + 2);
}

template <size_t N> std::string literal_bytes(const char (&literal)[N]) {
    return std::string(literal, N);
}

using DialogCall = int (*)(HWND, const char *, const char *, const char *, const char *);

struct Dialog {
    const char *name;
    DialogCall run;
    const OPENFILENAMEA &(*record)();
    char *path;
    char *file_name;
    DWORD path_size;
    DWORD flags;
};

const Dialog DIALOGS[] = {
    {"open", wt_open_file_dialog, wt_open_record, wt_open_path, wt_open_name, 32768, 0x00081204},
    {"save", wt_save_file_dialog, wt_save_record, wt_save_path, wt_save_name, 260, 0x00080006},
};
const Dialog &OPEN = DIALOGS[0];
const Dialog &SAVE = DIALOGS[1];

const DialogAnswer CANCEL{IDCANCEL, ""};

// Runs one dialog, answered by the driver, which must have had an answer ready.
int run(const Dialog &dialog, const DialogDriver &driver, const char *keyword,
        const char *result_kind = nullptr, const char *own_filter = nullptr) {
    const int result = dialog.run(owner(), "Titel", result_kind, keyword, own_filter);
    EXPECT_EQ(driver.unplanned(), 0) << dialog.name;
    return result;
}

std::string first_filter_shown(const Dialog &dialog, const char *keyword,
                               const char *own_filter = nullptr) {
    DialogDriver driver({CANCEL});
    run(dialog, driver, keyword, nullptr, own_filter);
    return driver.file_dialogs().empty() ? "(no dialog)" : driver.file_dialogs()[0].first_filter;
}

// Runs first: the lists remembered by the dialogs start empty.
TEST(Filters, UnknownKeywordKeepsThePreviousListOfTheSameDialog) {
    for (const Dialog &dialog : DIALOGS) {
        DialogDriver driver({CANCEL});
        EXPECT_EQ(run(dialog, driver, "NO_FILTER"), 1);
        EXPECT_EQ(dialog.record().lpstrFilter, nullptr) << dialog.name;
        ASSERT_EQ(driver.file_dialogs().size(), 1u);
        EXPECT_EQ(driver.file_dialogs()[0].filter_count, 0) << dialog.name;
    }
    first_filter_shown(OPEN, "NONE_FILTER");
    first_filter_shown(SAVE, "TXT_FILTER");
    const char *open_list = OPEN.record().lpstrFilter;
    const char *save_list = SAVE.record().lpstrFilter;
    for (const char *keyword : {"yyy", "", "txt_filter", "OWN_FILTER "}) {
        EXPECT_EQ(first_filter_shown(OPEN, keyword, "x\0*.x\0"), "Alla filer (*.*)") << keyword;
        EXPECT_EQ(OPEN.record().lpstrFilter, open_list) << keyword;
        EXPECT_EQ(first_filter_shown(SAVE, keyword, "x\0*.x\0"), "Text filer (*.txt)") << keyword;
        EXPECT_EQ(SAVE.record().lpstrFilter, save_list) << keyword;
    }
}

const char OWN_LIST[] = "Elemtrix (*.spk)\0*.spk\0";

struct KeywordList {
    const char *keyword;
    std::string bytes;
};

const KeywordList KEYWORD_LISTS[] = {
    {"OWN_FILTER", literal_bytes(OWN_LIST)},
    {"NONE_FILTER", literal_bytes("Alla filer (*.*)\0*.*\0")},
    {"TXT_FILTER", literal_bytes("Text filer (*.txt)\0*.TXT\0Alla filer (*.*)\0*.*\0")},
    {"ALL_FILTER", literal_bytes("Text filer (*.txt)\0*.TXT\0"
                                 "Write-dokument (*.wri)\0*.wri\0"
                                 "RTF-dokument (*.rtf)\0*.rtf\0"
                                 "Works filer (*.w*)\0*.w*\0"
                                 "Works-dokument (*.wps)\0*.wps\0"
                                 "Works-kalkylblad (*.wks)\0*.wks\0"
                                 "Works-databas (*.wdb)\0*.wdb\0"
                                 "World 6.0/95-dokument (*.doc)\0*.doc\0"
                                 "World 97-dokument (*.doc)\0*.doc\0"
                                 "Exel-kalkylblad (*.xl*)\0*.xl*\0"
                                 "dBase-databas (*.dbf)\0*.dbf\0"
                                 "Lotus 1-2-3 dokument(*.wk1)\0*.wk1\0"
                                 "HTML-dokument (*.htm*)\0*.htm*\0"
                                 "Alla filer (*.*)\0*.*\0")},
    {"C_DEV_FILTER", literal_bytes("Programkod (*.c,*.cpp,*.h)\0*.CPP;*.C;*.H\0"
                                   "Resursfiler (*.rc,*.res,*.rh)\0*.RC;*.RES;*.RH\0"
                                   "Alla filer (*.*)\0*.*\0")},
};

// The dialog shows the description of the first pair, preselected.
TEST(Filters, EachKeywordHandsItsListToBothDialogs) {
    for (const Dialog &dialog : DIALOGS) {
        for (const KeywordList &expected : KEYWORD_LISTS) {
            EXPECT_EQ(first_filter_shown(dialog, expected.keyword, OWN_LIST),
                      expected.bytes.c_str());
            const char *list = dialog.record().lpstrFilter;
            ASSERT_NE(list, nullptr) << expected.keyword;
            EXPECT_EQ(list_bytes(list), expected.bytes) << dialog.name << " " << expected.keyword;
        }
        first_filter_shown(dialog, "OWN_FILTER", OWN_LIST);
        EXPECT_EQ(dialog.record().lpstrFilter, OWN_LIST)
            << "the caller's own list is used as it is";
    }
}

// Read while the dialog is open, before the system writes its results back. Wine adds
// OFN_ENABLESIZING to the flags as the dialog starts, and OFN_PATHMUSTEXIST, which
// OFN_FILEMUSTEXIST implies.
constexpr DWORD FLAGS_ADDED_BY_SYSTEM = OFN_ENABLESIZING | OFN_PATHMUSTEXIST;

TEST(Record, HoldsTheSettingsOfEachDialog) {
    const std::string chosen = folder_with({"r.spk"}) + "r.spk";
    const char title[] = "\xD6ppna fil";
    for (const Dialog &dialog : DIALOGS) {
        // A confirmed choice first: the system's results must not carry over into the next call.
        DialogDriver driver({{IDOK, chosen}, CANCEL});
        OPENFILENAMEA record{};
        driver.on_file_dialog = [&](HWND) { record = dialog.record(); };
        EXPECT_EQ(run(dialog, driver, "ALL_FILTER"), 0);
        EXPECT_EQ(dialog.run(owner(), title, nullptr, "TXT_FILTER", nullptr), 1);
        ASSERT_EQ(driver.file_dialogs().size(), 2u);
        EXPECT_EQ(driver.file_dialogs()[1].title, title);
        // 76 bytes in the shipped 32-bit program, the same form's 136 in a 64-bit build.
        EXPECT_EQ(record.lStructSize, OPENFILENAME_SIZE_VERSION_400A);
        EXPECT_EQ(record.hwndOwner, owner());
        EXPECT_EQ(record.hInstance, nullptr);
        EXPECT_EQ(record.lpstrCustomFilter, nullptr);
        EXPECT_EQ(record.nMaxCustFilter, 0u);
        EXPECT_EQ(record.nFilterIndex, 1u);
        EXPECT_EQ(record.lpstrFile, dialog.path);
        EXPECT_EQ(record.nMaxFile, dialog.path_size) << dialog.name;
        EXPECT_EQ(record.lpstrFileTitle, dialog.file_name);
        EXPECT_EQ(record.nMaxFileTitle, 256u);
        EXPECT_EQ(record.lpstrInitialDir, nullptr);
        EXPECT_EQ(record.lpstrTitle, title);
        EXPECT_EQ(record.Flags & ~FLAGS_ADDED_BY_SYSTEM, dialog.flags) << dialog.name;
        EXPECT_EQ(record.nFileOffset, 0u);
        EXPECT_EQ(record.nFileExtension, 0u);
        EXPECT_EQ(record.lpstrDefExt, nullptr);
        EXPECT_EQ(record.lCustData, 0);
        EXPECT_EQ(record.lpfnHook, nullptr);
        EXPECT_EQ(record.lpTemplateName, nullptr);
    }
}

TEST(Choice, ConfirmFillsPathAndNameAndEachDialogProposesItsOwnLastChoice) {
    const std::string folder = folder_with({"a.spk"});
    DialogDriver driver({{IDOK, folder + "a.spk"}, {IDOK, folder + "new"}, CANCEL, CANCEL});
    EXPECT_EQ(run(OPEN, driver, "NONE_FILTER"), 0);
    EXPECT_EQ(wt_open_path, folder + "a.spk");
    EXPECT_STREQ(wt_open_name, "a.spk");
    // A name typed without extension stays without one, whatever the list offers.
    EXPECT_EQ(run(SAVE, driver, "TXT_FILTER"), 0);
    EXPECT_EQ(wt_save_path, folder + "new");
    EXPECT_STREQ(wt_save_name, "new");

    EXPECT_EQ(run(OPEN, driver, "NONE_FILTER"), 1);
    EXPECT_EQ(wt_dialog_error(), 0u); // a cancel is no failure
    EXPECT_EQ(run(SAVE, driver, "NONE_FILTER"), 1);
    EXPECT_EQ(wt_open_path, folder + "a.spk");
    EXPECT_EQ(wt_save_path, folder + "new");
    ASSERT_EQ(driver.file_dialogs().size(), 4u);
    EXPECT_EQ(driver.file_dialogs()[2].proposed_name, "a.spk");
    EXPECT_EQ(driver.file_dialogs()[3].proposed_name, "new");
    EXPECT_TRUE(driver.boxes().empty());
}

TEST(Choice, SaveAsksBeforeReplacingAFileAndOpenRefusesAMissingOne) {
    const std::string folder = folder_with({"old.spk"});
    DialogDriver save({{IDOK, folder + "old.spk"}});
    EXPECT_EQ(run(SAVE, save, "NONE_FILTER"), 0);
    EXPECT_EQ(save.boxes().size(), 1u);
    EXPECT_EQ(wt_save_path, folder + "old.spk");

    // The warning keeps the dialog open for another answer.
    DialogDriver open({{IDOK, folder + "missing.spk"}, CANCEL});
    EXPECT_EQ(run(OPEN, open, "NONE_FILTER"), 1);
    EXPECT_EQ(open.boxes().size(), 1u);
    EXPECT_EQ(open.file_dialogs().size(), 2u);
}

// Typing a folder opens it and keeps the dialog up for the names. The name buffer keeps the
// previous choice; callers take the folder as the chosen path.
TEST(Choice, SeveralFilesLeaveTheFolderAndEachNameInThePathBuffer) {
    const std::string folder = folder_with({"m0.spk", "m1.spk", "m2.spk"});
    DialogDriver driver(
        {{IDOK, folder + "m0.spk"}, {IDOK, folder}, {IDOK, "\"m1.spk\" \"m2.spk\""}});
    run(OPEN, driver, "NONE_FILTER");
    EXPECT_EQ(run(OPEN, driver, "NONE_FILTER"), 0);
    const std::string names =
        folder.substr(0, folder.size() - 1) + '\0' + "m1.spk" + '\0' + "m2.spk" + '\0' + '\0';
    EXPECT_EQ(std::string(wt_open_path, names.size()), names);
    EXPECT_STREQ(wt_open_name, "m0.spk");
}

TEST(ResultKind, OnlyFileNameAndPathWriteTheOwnersTitle) {
    const std::string folder = folder_with({"k.spk"});
    const struct {
        const Dialog &dialog;
        std::string path;
        std::string name;
    } choices[] = {{OPEN, folder + "k.spk", "k.spk"}, {SAVE, folder + "k2", "k2"}};
    for (const auto &choice : choices) {
        for (const char *kind : {static_cast<const char *>(nullptr), "", "yyy", "filename"}) {
            SetWindowTextA(owner(), OWNER_TITLE);
            DialogDriver driver({{IDOK, choice.path}});
            EXPECT_EQ(run(choice.dialog, driver, "NONE_FILTER", kind), 0);
            EXPECT_EQ(owner_title(), OWNER_TITLE)
                << choice.dialog.name << " " << (kind ? kind : "null");
        }
        DialogDriver driver({{IDOK, choice.path}, {IDOK, choice.path}});
        run(choice.dialog, driver, "NONE_FILTER", "FILENAME");
        EXPECT_EQ(owner_title(), choice.name);
        run(choice.dialog, driver, "NONE_FILTER", "PATH");
        EXPECT_EQ(owner_title(), choice.path);
    }
}

// After a cancel the open dialog still copies its buffer, that is its last choice, into the
// title; the save dialog leaves the title alone.
TEST(ResultKind, CancelWritesTheTitleOnlyFromTheOpenDialog) {
    const std::string folder = folder_with({"c.spk"});
    DialogDriver driver({{IDOK, folder + "c.spk"}, {IDOK, folder + "c2"}, CANCEL, CANCEL, CANCEL});
    run(OPEN, driver, "NONE_FILTER");
    run(SAVE, driver, "NONE_FILTER");
    SetWindowTextA(owner(), OWNER_TITLE);
    EXPECT_EQ(run(OPEN, driver, "NONE_FILTER", "PATH"), 1);
    EXPECT_EQ(owner_title(), folder + "c.spk");
    EXPECT_EQ(run(OPEN, driver, "NONE_FILTER", "FILENAME"), 1);
    EXPECT_EQ(owner_title(), "c.spk");
    SetWindowTextA(owner(), OWNER_TITLE);
    EXPECT_EQ(run(SAVE, driver, "NONE_FILTER", "PATH"), 1);
    EXPECT_EQ(owner_title(), OWNER_TITLE);
}

} // namespace
