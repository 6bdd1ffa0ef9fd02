#include "window/file_commands.h"

#include "engine/driver.h"
#include "engine/driver_file.h"
#include "measure/sweep_file.h"
#include "toolkit/controls.h"
#include "toolkit/dropped_files.h"
#include "toolkit/file_dialog.h"
#include "window/calculator.h"
#include "window/sweep_open.h"

#include <cderr.h>

#include <cstring>

namespace {

// Description and pattern, each NUL-terminated, and the closing NUL of the list. The open
// dialog offers sweeps too, after the driver files; a sweep is told by its content, not by the
// pattern it matched.
#define SPEAKER_PAIR "Speaker filer (*.spk) \0*.spk\0"
constexpr char SPEAKER_FILTER[] = SPEAKER_PAIR;
constexpr char OPEN_FILTER[] =
    SPEAKER_PAIR "Impedanskurvor (*.zma;*.txt;*.dat) \0*.zma;*.txt;*.dat\0";
#undef SPEAKER_PAIR
constexpr char OPEN_TITLE[] = "Hämta sparad elementdata";
constexpr char SAVE_TITLE[] = "xxx";
constexpr char OPEN_RESULT_KIND[] = ""; // neither kind: the title stays
constexpr char SAVE_RESULT_KIND[] = "yyy";

constexpr char READ_FAILED[] = "Filen kunde inte läsas:\n";
constexpr char WRITE_FAILED[] = "Filen kunde inte sparas:\n";
constexpr char TOO_MANY_FILES[] = "Välj en impedanskurva i fri luft, eller den och en med "
                                  "adderad massa: högst två filer.";
constexpr char NOT_A_SWEEP[] = "Filen är ingen impedanskurva:\n";
constexpr char SWEEPS_ALONE[] = "\nVälj impedanskurvor för sig, eller en elementfil för sig.";
constexpr char NAMES_TOO_LONG[] = "De valda filernas namn ryms inte på en gång: välj färre filer.";

void report_file_error(HWND window, const char *what, const char *path) {
    char text[sizeof WRITE_FAILED + WT_PATH_SIZE];
    lstrcpyA(text, what);
    lstrcatA(text, path);
    MessageBoxA(window, text, FILE_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
}

// With several files chosen the buffer holds the folder, then each name after its own NUL and
// an empty name after the last. False when fewer than index + 1 files were chosen.
bool chosen_file(int index, char (&path)[WT_PATH_SIZE]) {
    lstrcpynA(path, wt_open_path, WT_PATH_SIZE);
    const int folder_length = lstrlenA(wt_open_path);
    if (wt_open_record().nFileOffset <= folder_length)
        return index == 0;
    const char *name = wt_open_path + folder_length + 1;
    for (int i = 0; i < index && *name != '\0'; ++i)
        name += lstrlenA(name) + 1;
    if (*name == '\0')
        return false;
    const int kept = lstrlenA(path); // the folder, cut short where too long to open
    if (kept > 0 && path[kept - 1] != '\\')
        lstrcatA(path, "\\");
    if (lstrlenA(path) + lstrlenA(name) < WT_PATH_SIZE)
        lstrcatA(path, name);
    return true;
}

// The files to open, however they were chosen: how many, the first ones in order, and which are
// sweeps.
struct ChosenFiles {
    int count;
    int sweeps;
    int other; // the first that is no sweep; -1 when all are
    char path[IMPORT_MAX_SWEEPS][WT_PATH_SIZE];
};

// Reading the files to tell a sweep can take a while for a large one: the wait cursor shows it
// while they are sorted.
struct WaitCursor {
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    ~WaitCursor() { SetCursor(previous); }
};

void add_chosen_file(ChosenFiles &chosen, const char *path) {
    if (chosen.count < IMPORT_MAX_SWEEPS)
        lstrcpynA(chosen.path[chosen.count], path, WT_PATH_SIZE);
    if (is_sweep_file(path))
        ++chosen.sweeps;
    else if (chosen.other < 0)
        chosen.other = chosen.count;
    ++chosen.count;
}

void open_driver_lines(HWND window, const char *path) {
    DriverFileLines lines;
    if (!read_driver_file(path, lines)) {
        report_file_error(window, READ_FAILED, path); // the typed values stay
        return;
    }
    // Every field is set: a field without a line is emptied, so nothing of another file stays.
    for (int line = 0; line < DRIVER_FILE_LINES; ++line)
        wt_set_text(calculator_field(line), lines.text[line]);
}

// Without a sweep among the chosen files the first is a driver file, as it always was; sweeps
// are opened only by themselves, one or two.
void open_chosen_files(HWND window, const ChosenFiles &chosen) {
    if (chosen.count == 0)
        return;
    if (chosen.sweeps == 0) {
        open_driver_lines(window, chosen.path[0]);
    } else if (chosen.count > IMPORT_MAX_SWEEPS) {
        MessageBoxA(window, TOO_MANY_FILES, FILE_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
    } else if (chosen.other >= 0) {
        char text[sizeof NOT_A_SWEEP + WT_PATH_SIZE + sizeof SWEEPS_ALONE];
        lstrcpyA(text, NOT_A_SWEEP);
        lstrcatA(text, chosen.path[chosen.other]);
        lstrcatA(text, SWEEPS_ALONE);
        MessageBoxA(window, text, FILE_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
    } else {
        const char *paths[IMPORT_MAX_SWEEPS] = {chosen.path[0], chosen.path[1]};
        open_sweeps(window, paths, chosen.count);
    }
}

// Skips the blanks before an argument and takes it whole, without the quotes around a name with
// blanks; a name too long for a path is cut short, and then cannot be opened. False at the end.
bool next_argument(const char *&line, char (&argument)[WT_PATH_SIZE]) {
    while (*line == ' ' || *line == '\t')
        ++line;
    if (*line == '\0')
        return false;
    int length = 0;
    bool quoted = false;
    for (; *line != '\0' && (quoted || (*line != ' ' && *line != '\t')); ++line) {
        if (*line == '"')
            quoted = !quoted;
        else if (length < WT_PATH_SIZE - 1)
            argument[length++] = *line;
    }
    argument[length] = '\0';
    return true;
}

} // namespace

const char FILE_ERROR_CAPTION[] = "FILFEL";

void open_driver_file(HWND window) {
    if (wt_open_file_dialog(window, OPEN_TITLE, OPEN_RESULT_KIND, "OWN_FILTER", OPEN_FILTER) != 0) {
        if (wt_dialog_error() == FNERR_BUFFERTOOSMALL)
            MessageBoxA(window, NAMES_TOO_LONG, FILE_ERROR_CAPTION, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    ChosenFiles chosen{0, 0, -1, {}};
    {
        const WaitCursor wait;
        char path[WT_PATH_SIZE];
        for (int i = 0; chosen_file(i, path); ++i)
            add_chosen_file(chosen, path);
    }
    open_chosen_files(window, chosen);
}

void open_command_line(HWND window, const char *command_line) {
    ChosenFiles chosen{0, 0, -1, {}};
    {
        const WaitCursor wait;
        char argument[WT_PATH_SIZE];
        while (next_argument(command_line, argument))
            add_chosen_file(chosen, argument);
    }
    open_chosen_files(window, chosen);
}

void open_dropped_files(HWND window, HDROP drop) {
    ChosenFiles chosen{0, 0, -1, {}};
    {
        const WaitCursor wait;
        char path[WT_PATH_SIZE];
        const int count = wt_dropped_file_count(drop);
        for (int i = 0; i < count; ++i)
            if (wt_dropped_file(drop, i, path))
                add_chosen_file(chosen, path);
    }
    wt_finish_drop(drop);
    open_chosen_files(window, chosen);
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
