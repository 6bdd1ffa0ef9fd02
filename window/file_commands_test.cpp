#include "window/file_commands.h"

#include "base/charset.h"
#include "base/test_support/file_bytes.h"
#include "engine/driver_file.h"
#include "measure/sweep_file.h"
#include "toolkit/controls.h"
#include "toolkit/file_dialog.h"
#include "toolkit/test_support/box_catcher.h"
#include "toolkit/test_support/dialog_driver.h"
#include "toolkit/test_support/drop.h"
#include "window/calculator.h"
#include "window/test_support/calculator_fields.h"

#include <gtest/gtest.h>

#include <cstdio>
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
    void close_window() { close_calculator(window); }

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
    set_field_texts(SAMPLE);
    EXPECT_TRUE(save_as(path).empty());
    EXPECT_EQ(bytes_of(path), file_bytes(SAMPLE));
    close_window();
    open_window();
    EXPECT_TRUE(open(path).empty());
    EXPECT_EQ(field_texts(), SAMPLE);
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
    EXPECT_EQ(last_dialogs[0].filter_count, 2);
    const char list[] = "Speaker filer (*.spk) \0*.spk\0";
    const char open_list[] = "Speaker filer (*.spk) \0*.spk\0"
                             "Impedanskurvor (*.zma;*.txt;*.dat) \0*.zma;*.txt;*.dat\0";
    EXPECT_EQ(std::memcmp(wt_open_record().lpstrFilter, open_list, sizeof open_list), 0);
    save_as(path);
    ASSERT_EQ(last_dialogs.size(), 1u);
    EXPECT_EQ(last_dialogs[0].title, "xxx");
    EXPECT_EQ(last_dialogs[0].filter_count, 1);
    EXPECT_EQ(std::memcmp(wt_save_record().lpstrFilter, list, sizeof list), 0);
}

TEST_F(FileCommands, SavingTwiceReplacesTheFile) {
    const std::string path = temp_path("twice.spk");
    put_bytes(path, std::string(500, 'x'));
    set_field_texts(SAMPLE);
    save_as(path);
    Texts changed = SAMPLE;
    changed[0] = "B";
    set_field_texts(changed);
    save_as(path);
    EXPECT_EQ(bytes_of(path), file_bytes(changed));
}

TEST_F(FileCommands, CancelChangesNothing) {
    const std::string path = temp_path("cancel.spk");
    DeleteFileA(path.c_str());
    set_field_texts(SAMPLE);
    EXPECT_TRUE(run(ID_SAVE, {{IDCANCEL, path}}).empty());
    EXPECT_FALSE(exists(path));
    set_field_texts(Texts(DRIVER_FILE_LINES, "typed"));
    EXPECT_TRUE(run(ID_OPEN, {{IDCANCEL, ""}}).empty());
    EXPECT_EQ(field_texts(), Texts(DRIVER_FILE_LINES, "typed"));
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
        set_field_texts(Texts(DRIVER_FILE_LINES, "before"));
        const std::string path = temp_path(c.name);
        put_bytes(path, c.bytes);
        EXPECT_TRUE(open(path).empty()) << c.name;
        EXPECT_EQ(field_texts(), c.shown) << c.name;
    }
}

TEST_F(FileCommands, OpeningBAfterAShowsOnlyB) {
    const std::string a = temp_path("a.spk"), b = temp_path("b.spk");
    put_bytes(a, file_bytes(SAMPLE));
    put_bytes(b, "B\r\n30\r\n");
    open(a);
    open(b);
    EXPECT_EQ(field_texts(), (Texts{"B", "30", "", "", "", "", "", "", "", "", ""}));
}

TEST_F(FileCommands, OfSeveralFilesChosenTheFirstIsOpened) {
    const std::string folder = temp_dir();
    put_bytes(folder + "elemtrix-m1.spk", "first\r\n1\r\n");
    put_bytes(folder + "elemtrix-m2.spk", "second\r\n2\r\n");
    // Typing the folder opens it; the dialog then takes the two names.
    EXPECT_TRUE(
        run(ID_OPEN, {{IDOK, folder}, {IDOK, "\"elemtrix-m1.spk\" \"elemtrix-m2.spk\""}}).empty());
    EXPECT_EQ(field_texts(), (Texts{"first", "1", "", "", "", "", "", "", "", "", ""}));
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
    set_field_texts(Texts(DRIVER_FILE_LINES, "typed"));
    const std::vector<CaughtBox> boxes = open(path);
    CloseHandle(lock);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "FILFEL");
    EXPECT_EQ(boxes[0].text, "Filen kunde inte l\xE4sas:\n" + path);
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(boxes[0].owner, window);
    EXPECT_EQ(field_texts(), Texts(DRIVER_FILE_LINES, "typed"));
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
        set_field_texts(SAMPLE);
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
    set_field_texts(SAMPLE);
    const std::vector<CaughtBox> boxes = save_as(path);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "FILFEL");
    EXPECT_EQ(boxes[0].text, "Filen kunde inte sparas:\n" + path);
    EXPECT_FALSE(exists(path));
}

// Measured impedance sweeps: the examples, copied where the dialog is given their short names.
const std::string EXAMPLES = ELEMTRIX_EXAMPLES;
// Lines of the driver data file, the fields in file order.
constexpr int NAME = 0, FS = 1, RE = 2, ZMAX = 3, SD = 4, VAS = 5, QMS = 6, QES = 7, QTS = 8,
              FS_ADDED = 9, ADDED_MASS = 10;
const int FROM_ONE_SWEEP[] = {FS, RE, ZMAX, QMS, QES, QTS};

// The build gives POSIX paths; Wine shows the root file system as drive Z.
std::string wine_path(const std::string &posix) {
    std::string path = "Z:" + posix;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string example_sweep(const char *name) {
    const std::string path = temp_path(name);
    put_bytes(path, bytes_of(wine_path(EXAMPLES + "/" + name)));
    return path;
}

// Lines with LF or CR LF ends, without them.
Texts lines_of(const std::string &bytes) {
    Texts lines;
    for (size_t start = 0, end; (end = bytes.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(bytes.substr(start, end - (end > start && bytes[end - 1] == '\r') - start));
    return lines;
}

// Runs elemtrix-calc with the arguments; returns what it printed.
std::string run_calc(const std::string &arguments) {
    const std::string printed = temp_path("calc.txt");
    std::string command = "\"" + wine_path(ELEMTRIX_CALC_EXE) + "\" " + arguments;
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE out = CreateFileA(printed.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                             CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &si, &process);
    EXPECT_TRUE(started) << command;
    if (started) {
        WaitForSingleObject(process.hProcess, 60000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    return bytes_of(printed);
}

// The driver data file that elemtrix-calc --save writes for the arguments, as lines.
Texts calc_saved(const std::string &arguments) {
    const std::string saved = temp_path("calc.spk");
    DeleteFileA(saved.c_str());
    run_calc(arguments + " --save \"" + saved + "\"");
    return lines_of(bytes_of(saved));
}

bool has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

struct SweepCommands : FileCommands {
    // One file by its path; several as the user picks them: the folder typed first, which the
    // dialog opens, then the names, each in quotes.
    std::vector<CaughtBox> open_files(const std::vector<std::string> &paths) {
        if (paths.size() == 1)
            return open(paths[0]);
        std::string names;
        for (const std::string &path : paths)
            names += "\"" + path.substr(temp_dir().size()) + "\" ";
        return run(ID_OPEN, {{IDOK, temp_dir()}, {IDOK, names}});
    }
    // The one box a command showed, or an empty one when it showed another number.
    CaughtBox one_box(const std::vector<std::string> &paths) {
        const std::vector<CaughtBox> boxes = open_files(paths);
        EXPECT_EQ(boxes.size(), 1u);
        return boxes.size() == 1 ? boxes[0] : CaughtBox{};
    }

    const std::string free_air = example_sweep("mid-free.zma");
    const std::string added = example_sweep("mid-20g.zma");
};

TEST_F(SweepCommands, OneSweepFillsWhatTheCalculatorSavesAndReportsTheFit) {
    // Re is no valid value, so it is fitted; everything the sweep does not tell stays as typed.
    const Texts typed = {"Mellanregister", "x", "6,2", "x", "132", "", "x", "x", "x", "25", "20"};
    const Texts saved = calc_saved("--sweep \"" + free_air + "\" Sd=132");
    ASSERT_EQ(saved.size(), 11u);
    Texts expected = typed;
    for (int line : FROM_ONE_SWEEP)
        expected[line] = saved[line];
    set_field_texts(typed);
    const CaughtBox box = one_box({free_air});
    EXPECT_EQ(field_texts(), expected);
    EXPECT_EQ(box.caption, "ANPASSNING");
    EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(box.owner, window);
    EXPECT_TRUE(has(box.text, "Fri luft: elemtrix-mid-free.zma, RMS-avvikelse ")) << box.text;
    // The model in the words elemtrix-calc uses for the same fit.
    const size_t model = box.text.find("\nModell: ");
    ASSERT_NE(model, std::string::npos) << box.text;
    const size_t words = model + std::strlen("\nModell: ");
    const std::string model_words = box.text.substr(words, box.text.find('\n', words) - words);
    const std::string report = utf8_to_cp1252(run_calc("--sweep \"" + free_air + "\" Sd=132"));
    EXPECT_TRUE(has(report, "(|Z| och fas), " + model_words + ", RMS-avvikelse"))
        << model_words << "\n"
        << report;
    EXPECT_TRUE(has(box.text, "\nFs: " + saved[FS] + " \xB1 0.")) << box.text;
    EXPECT_TRUE(has(box.text, "\nRe: " + saved[RE] + " \xB1 0.")) << box.text;
    EXPECT_TRUE(has(box.text, "OBS: Re \xE4r anpassat")) << box.text;
    EXPECT_FALSE(has(box.text, "Vas")) << box.text;
    EXPECT_FALSE(has(box.text, "g\xE5r inte att lita p\xE5")) << box.text;
}

TEST_F(SweepCommands, TwoSweepsInEitherOrderFillWhatTheCalculatorSaves) {
    // A valid Re is held as measured, and stays as typed.
    const Texts typed = {"Mellanregister", "", "6", "", "132", "", "", "", "", "", "20"};
    Texts expected =
        calc_saved("--sweep \"" + free_air + "\" --added-sweep 20 \"" + added + "\" Sd=132 Re=6");
    ASSERT_EQ(expected.size(), 11u);
    expected[NAME] = typed[NAME];
    const std::vector<std::vector<std::string>> orders = {{free_air, added}, {added, free_air}};
    for (const std::vector<std::string> &order : orders) {
        set_field_texts(typed);
        const CaughtBox box = one_box(order);
        // The dialog hands the names on in the order they were typed.
        EXPECT_EQ(temp_dir() + (wt_open_path + std::strlen(wt_open_path) + 1), order[0]);
        EXPECT_EQ(field_texts(), expected) << order[0];
        const size_t free_line = box.text.find("Fri luft: elemtrix-mid-free.zma, RMS");
        const size_t added_line =
            box.text.find("\nAdderad massa 20 g: elemtrix-mid-20g.zma, RMS-avvikelse ");
        EXPECT_LT(free_line, added_line) << box.text;
        EXPECT_NE(added_line, std::string::npos) << box.text;
        EXPECT_TRUE(has(box.text, "\nVas: " + expected[VAS] + " \xB1 0.")) << box.text;
        EXPECT_TRUE(has(box.text, "\nFs med adderad massa: " + expected[FS_ADDED] + " \xB1 0."))
            << box.text;
        EXPECT_TRUE(has(box.text, "\nRe h\xE5lls som m\xE4tt: 6 ohm")) << box.text;
        EXPECT_FALSE(has(box.text, "\nRe: ")) << box.text;
    }
}

TEST_F(SweepCommands, VasComesOnlyIntoAnEmptyFieldAndNeedsSd) {
    struct Case {
        const char *sd, *vas, *said;
    } cases[] = {
        {"", "", "Vas \xE4r inte ifyllt: det r\xE4knas ur anpassningen och Sd, men Sd saknas"},
        {"13,2", "", "Sd saknas eller \xE4r ogiltigt"},
        {"132", "40", "Vas beh\xE5lls som inmatat"},
    };
    for (const Case &c : cases) {
        const Texts typed = {"", "", "", "", c.sd, c.vas, "", "", "", "", "20"};
        set_field_texts(typed);
        const CaughtBox box = one_box({free_air, added});
        const Texts shown = field_texts();
        EXPECT_EQ(shown[SD], c.sd);
        EXPECT_EQ(shown[VAS], c.vas);
        EXPECT_NE(shown[FS], "") << c.sd; // the rest is filled all the same
        EXPECT_EQ(box.caption, "ANPASSNING");
        EXPECT_TRUE(has(box.text, c.said)) << box.text;
    }
}

TEST_F(SweepCommands, WhatIsMissingOrWrongIsSaidAndNothingChanges) {
    const std::string spk = temp_path("with-sweep.spk");
    put_bytes(spk, file_bytes(SAMPLE));
    const std::string heavier = example_sweep("mid-30g.zma");
    std::string falling = "Freq Z\n", rising = falling, twelve = falling;
    for (int i = 0; i < 40; ++i) {
        falling += std::to_string(400 - 10 * i) + " 6.5\n";
        rising += std::to_string(10 + 10 * i) + " " + std::to_string(6 + 0.1 * i) + "\n";
    }
    for (int i = 0; i < 12; ++i)
        twelve += std::to_string(10 + 10 * i) + " 6.5\n";
    std::string flat = falling;
    flat.replace(flat.find('\n') + 1, std::string::npos, "");
    for (int i = 0; i < 40; ++i)
        flat += std::to_string(10 + 10 * i) + " 6.5\n";
    const std::string flat_path = temp_path("flat.zma");
    put_bytes(flat_path, flat);
    const std::string falling_path = temp_path("falling.txt"),
                      rising_path = temp_path("rising.dat"), twelve_path = temp_path("twelve.zma");
    put_bytes(falling_path, falling);
    put_bytes(rising_path, rising); // no resonance
    put_bytes(twelve_path, twelve);
    // Past the reader's limit: refused before it is read.
    const std::string huge_path = temp_path("huge.zma");
    put_bytes(huge_path, twelve + std::string(SWEEP_FILE_MAX_BYTES, '\n'));
    const std::string cannot_use = "Impedanskurvan kunde inte anv\xE4ndas:\n";

    struct Case {
        std::vector<std::string> files;
        const char *mass;
        std::string caption, starts;
    } cases[] = {
        {{free_air, added}, "", "INMATNINGSFEL", "Vikt ad.massa: "},
        {{free_air, added}, "2,0", "INMATNINGSFEL", "Vikt ad.massa: "},
        {{free_air, added, heavier}, "20", "FILFEL", "V\xE4lj en impedanskurva i fri luft"},
        {{spk, free_air}, "20", "FILFEL", "Filen \xE4r ingen impedanskurva:\n" + spk + "\n"},
        {{falling_path}, "20", "FILFEL", cannot_use + falling_path + ", rad 3: "},
        {{rising_path}, "20", "FILFEL", cannot_use + rising_path + ": "},
        {{flat_path},
         "20",
         "FILFEL",
         cannot_use + flat_path +
             ": |Z| \xE4r 6.5 ohm p\xE5 varje rad: kurvan har ingen "
             "resonanstopp att anpassa"},
        {{twelve_path}, "20", "FILFEL", cannot_use + twelve_path + ": "},
        {{huge_path}, "20", "FILFEL", cannot_use + huge_path + ": "},
        {{free_air, falling_path}, "20", "FILFEL", cannot_use + falling_path + ", rad 3: "},
    };
    for (const Case &c : cases) {
        Texts typed(DRIVER_FILE_LINES, "typed");
        typed[ADDED_MASS] = c.mass;
        set_field_texts(typed);
        const CaughtBox box = one_box(c.files);
        EXPECT_EQ(box.caption, c.caption) << c.files.back();
        EXPECT_EQ(box.text.rfind(c.starts, 0), 0u) << box.text;
        EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
        EXPECT_EQ(field_texts(), typed) << c.files.back();
    }
    DeleteFileA(huge_path.c_str());
}

TEST_F(SweepCommands, AFitThatCannotBeTrustedIsSaidSo) {
    // The resonance within a factor 1.5 of the sweep's start; the points scattered by ±10 %.
    const Texts rows = lines_of(bytes_of(free_air));
    std::string cut, scattered;
    for (size_t i = 0; i < rows.size(); ++i) {
        double f, z, phase;
        if (std::sscanf(rows[i].c_str(), "%lf %lf %lf", &f, &z, &phase) != 3)
            continue;
        if (f >= 30)
            cut += rows[i] + "\n";
        scattered += std::to_string(f) + " " + std::to_string(z * (i % 2 ? 1.1 : 0.9)) + " " +
                     std::to_string(phase) + "\n";
    }
    const std::string cut_path = temp_path("cut.zma"), scattered_path = temp_path("scattered.zma");
    put_bytes(cut_path, cut);
    put_bytes(scattered_path, scattered);
    const struct {
        std::string path, said;
    } cases[] = {
        {cut_path, "OBS: anpassningen av elemtrix-cut.zma g\xE5r inte att lita p\xE5: "
                   "resonansen ligger n\xE4ra kurvans \xE4nde."},
        {scattered_path, "OBS: anpassningen av elemtrix-scattered.zma g\xE5r inte att lita p\xE5: "
                         "RMS-avvikelsen \xE4r \xF6ver 3 %"},
    };
    for (const auto &c : cases) {
        set_field_texts(Texts(DRIVER_FILE_LINES, ""));
        const CaughtBox box = one_box({c.path});
        EXPECT_EQ(box.caption, "ANPASSNING") << box.text;
        EXPECT_TRUE(has(box.text, c.said)) << box.text;
    }
}

TEST_F(SweepCommands, ElevenLinesOfNumbersAreStillADriverFile) {
    const std::string path = temp_path("eleven.zma");
    put_bytes(path, file_bytes(Texts(DRIVER_FILE_LINES, "12 5")));
    set_field_texts(Texts(DRIVER_FILE_LINES, "typed"));
    EXPECT_TRUE(open(path).empty());
    EXPECT_EQ(field_texts(), Texts(DRIVER_FILE_LINES, "12 5"));
}

// The dialog hands several files back as the folder and every name in one buffer; long names
// once overflowed its 260 bytes, and the choice failed like a cancel.
TEST_F(SweepCommands, TwoSweepsWithLongNamesOpen) {
    const std::string long_free = temp_path((std::string(150, 'f') + ".zma").c_str());
    const std::string long_added = temp_path((std::string(150, 'a') + ".zma").c_str());
    put_bytes(long_free, bytes_of(free_air));
    put_bytes(long_added, bytes_of(added));
    Texts typed(DRIVER_FILE_LINES, "");
    typed[ADDED_MASS] = "20";
    set_field_texts(typed);
    const CaughtBox box = one_box({long_free, long_added});
    EXPECT_EQ(box.caption, "ANPASSNING") << box.text;
    EXPECT_NE(field_texts()[FS], "");
}

TEST_F(FileCommands, NamesTooManyForTheDialogsBufferAreSaidSo) {
    // About 34 KB of names: past the 32 KB the dialog has for them.
    std::string names;
    std::vector<std::string> paths;
    for (int i = 0; i < 140; ++i) {
        const std::string name = "elemtrix-" + std::to_string(1000 + i) + std::string(225, 'n');
        paths.push_back(temp_dir() + name);
        put_bytes(paths.back(), "many\r\n");
        names += "\"" + name + "\" ";
    }
    set_field_texts(Texts(DRIVER_FILE_LINES, "typed"));
    const std::vector<CaughtBox> boxes = run(ID_OPEN, {{IDOK, temp_dir()}, {IDOK, names}});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "FILFEL");
    EXPECT_EQ(boxes[0].text,
              "De valda filernas namn ryms inte p\xE5 en g\xE5ng: v\xE4lj f\xE4rre filer.");
    EXPECT_EQ(field_texts(), Texts(DRIVER_FILE_LINES, "typed"));
    // Nothing of the overflow is proposed the next time.
    run(ID_OPEN, {{IDCANCEL, ""}});
    ASSERT_EQ(last_dialogs.size(), 1u);
    EXPECT_EQ(last_dialogs[0].proposed_name, "");
    for (const std::string &path : paths)
        DeleteFileA(path.c_str());
}

struct OtherWays : SweepCommands {
    std::vector<CaughtBox> drop(const std::vector<std::string> &paths) {
        start_catching_boxes();
        SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop(paths)), 0);
        return stop_catching_boxes();
    }
    std::vector<CaughtBox> command_line(const std::string &line) {
        start_catching_boxes();
        open_command_line(window, line.c_str());
        return stop_catching_boxes();
    }
};

TEST_F(OtherWays, TheWindowAcceptsDroppedFiles) {
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}

TEST_F(OtherWays, ADroppedDriverFileOpensAsOppnaOpensIt) {
    const std::string path = temp_path("dropped.spk");
    put_bytes(path, file_bytes(SAMPLE));
    EXPECT_TRUE(drop({path}).empty());
    EXPECT_EQ(field_texts(), SAMPLE);
}

TEST_F(OtherWays, DroppedSweepsAreFittedAndWhatCannotBeOpenedIsSaid) {
    Texts typed(DRIVER_FILE_LINES, "");
    typed[ADDED_MASS] = "20";
    set_field_texts(typed);
    std::vector<CaughtBox> boxes = drop({added, free_air});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "ANPASSNING");
    EXPECT_NE(field_texts()[FS_ADDED], "");

    const std::string missing = temp_path("missing.spk");
    DeleteFileA(missing.c_str());
    set_field_texts(Texts(DRIVER_FILE_LINES, "typed"));
    boxes = drop({missing});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Filen kunde inte l\xE4sas:\n" + missing);
    boxes = drop({free_air, added, free_air});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind("V\xE4lj en impedanskurva i fri luft", 0), 0u);
    EXPECT_EQ(field_texts(), Texts(DRIVER_FILE_LINES, "typed"));
}

TEST_F(OtherWays, TheCommandLineNamesFilesAsTheShellQuotesThem) {
    const std::string blanks = temp_path("with blanks.spk");
    put_bytes(blanks, file_bytes(SAMPLE));
    EXPECT_TRUE(command_line("  \"" + blanks + "\"  ").empty());
    EXPECT_EQ(field_texts(), SAMPLE);

    set_field_texts(Texts(DRIVER_FILE_LINES, "typed"));
    for (const char *nothing : {"", "   ", "\t"})
        EXPECT_TRUE(command_line(nothing).empty()) << "[" << nothing << "]";
    EXPECT_EQ(field_texts(), Texts(DRIVER_FILE_LINES, "typed"));
    // Unquoted, a blank ends the name.
    std::vector<CaughtBox> boxes = command_line(blanks);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Filen kunde inte l\xE4sas:\n" + temp_path("with"));

    Texts typed(DRIVER_FILE_LINES, "");
    typed[ADDED_MASS] = "20";
    set_field_texts(typed);
    boxes = command_line(free_air + " \"" + added + "\"");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "ANPASSNING");
    EXPECT_NE(field_texts()[FS_ADDED], "");
}

} // namespace
