#include "window/file_commands.h"

#include "engine/driver.h"
#include "engine/driver_file.h"
#include "toolkit/controls.h"
#include "toolkit/file_dialog.h"
#include "window/calculator.h"

#include <cstring>

namespace {

// Description and pattern, each NUL-terminated, and the closing NUL of the list.
constexpr char SPEAKER_FILTER[] = "Speaker filer (*.spk) \0*.spk\0";
constexpr char OPEN_TITLE[] = "Hämta sparad elementdata";
constexpr char SAVE_TITLE[] = "xxx";
constexpr char OPEN_RESULT_KIND[] = ""; // neither kind: the title stays
constexpr char SAVE_RESULT_KIND[] = "yyy";

constexpr char FILE_ERROR_CAPTION[] = "FILFEL";
constexpr char READ_FAILED[] = "Filen kunde inte läsas:\n";
constexpr char WRITE_FAILED[] = "Filen kunde inte sparas:\n";

void report_file_error(HWND window, const char *what, const char *path) {
    char text[sizeof WRITE_FAILED + WT_PATH_SIZE];
    lstrcpyA(text, what);
    lstrcatA(text, path);
    MessageBoxA(window, text, FILE_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
}

// With several files chosen the buffer holds the folder, then each name after its own NUL:
// the first file is opened.
void chosen_open_path(char (&path)[WT_PATH_SIZE]) {
    lstrcpyA(path, wt_open_path);
    const int folder_length = lstrlenA(wt_open_path);
    if (wt_open_record().nFileOffset <= folder_length)
        return;
    const char *first_name = wt_open_path + folder_length + 1;
    if (folder_length > 0 && path[folder_length - 1] != '\\')
        lstrcatA(path, "\\");
    if (lstrlenA(path) + lstrlenA(first_name) < WT_PATH_SIZE)
        lstrcatA(path, first_name);
}

} // namespace

void open_driver_file(HWND window) {
    if (wt_open_file_dialog(window, OPEN_TITLE, OPEN_RESULT_KIND, "OWN_FILTER", SPEAKER_FILTER) !=
        0)
        return;
    char path[WT_PATH_SIZE];
    chosen_open_path(path);
    DriverFileLines lines;
    if (!read_driver_file(path, lines)) {
        report_file_error(window, READ_FAILED, path); // the typed values stay
        return;
    }
    // Every field is set: a field without a line is emptied, so nothing of another file stays.
    for (int line = 0; line < DRIVER_FILE_LINES; ++line)
        wt_set_text(calculator_field(line), lines.text[line]);
}

void save_driver_file(HWND window) {
    char texts[DRIVER_FILE_LINES][DRIVER_LINE_SIZE] = {};
    const char *lines[DRIVER_FILE_LINES];
    for (int line = 0; line < DRIVER_FILE_LINES; ++line) {
        wt_get_text(calculator_field(line), texts[line]);
        lines[line] = texts[line];
    }
    if (wt_save_file_dialog(window, SAVE_TITLE, SAVE_RESULT_KIND, "OWN_FILTER", SPEAKER_FILTER) !=
        0)
        return;
    if (!write_driver_file(wt_save_path, lines))
        report_file_error(window, WRITE_FAILED, wt_save_path);
}
