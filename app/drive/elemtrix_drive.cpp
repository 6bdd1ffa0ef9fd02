// Drives a running Elemtrix from outside, for `make run` without a display and for the start-up
// benchmark:
//   elemtrix-drive fill              types the worked example and presses "Kalkylera"
//   elemtrix-drive close             closes the window
//   elemtrix-drive shot FILE.bmp     saves the window's client area as a 24-bit bitmap
//   elemtrix-drive open-sweeps FOLDER FREE ADDED
//                                    types Sd 132 and an added mass of 20 g, presses "Öppna" and
//                                    chooses the two sweeps in FOLDER; returns once the box that
//                                    tells how well they fit is up
//   elemtrix-drive ok                presses OK in that box
//   elemtrix-drive command ID        chooses the window menu's item of that identifier
//   elemtrix-drive box CAPTION       prints the text of the message box of that caption once it
//                                    is up, and presses its OK
//   elemtrix-drive fields            prints the eleven fields' texts, one a line, once the name
//                                    field holds one (a file opened at start) or after a while
//   elemtrix-drive measure-dialog [N]
//                                    opens "Mät impedans" from the window menu N times (1 by
//                                    default), closing it between, and prints the milliseconds
//                                    each took until it was painted
//   elemtrix-drive open-recording FILE [GRAMS]
//                                    in the open dialog, opens the recording FILE, with GRAMS on
//                                    the cone when given, Rref 10 ohm
//   elemtrix-drive save-curve FILE   saves the dialog's last curve as FILE
//   elemtrix-drive use               types Sd 132 and an added mass of 20 g into the window,
//                                    presses "Använd" and returns once the box that tells how
//                                    well the curves fit is up
//   elemtrix-drive loaded DLL        prints 1 when the running Elemtrix has DLL loaded, else 0
//   elemtrix-drive box-dialog [sealed|vented] [Alignment=NAME] [NAME=TEXT]...
//                                    opens "Lådberäkning" with its command in the window menu,
//                                    chooses the box, types the fields (Qtc Vb Fb QL Port Ports
//                                    Xmax Pe Power, as elemtrix-calc --box names them; the
//                                    others as the dialog first has them), presses
//                                    "Beräkna" and prints where the errors come from, the box,
//                                    and each figure's row, value and error, tab-separated; or
//                                    the text of the "INMATNINGSFEL" box that came instead
//   elemtrix-drive box-dialog-shot FILE.bmp
//                                    saves the dialog's client area as shot does the window's
//   elemtrix-drive box-dialog-open RUNS
//                                    opens and closes the dialog RUNS times through the menu and
//                                    prints the median milliseconds until it was painted
//   elemtrix-drive about-open RUNS   opens and closes "Om Elemtrix" RUNS times through the menu
//                                    and prints the median milliseconds until it was painted
//   elemtrix-drive startup EXE [TITLE]
//                                    starts EXE, prints the milliseconds until its window (by
//                                    default Elemtrix's) is painted and its peak memory, closes
//                                    it, prints its exit code
#include <windows.h>

#include <psapi.h>

#include "toolkit/test_support/screenshot.h"
#include "window/box_dialog.h"
#include "window/calculator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char TITLE[] = "Elemtrix       Beräknar TS-parametrar ur uppmätt element";
const char *const WORKED[] = {"30", "6", "40", "500", "50", "3", "0.45", "0.39", "25", "20"};
constexpr int CALCULATE = 1000, OPEN = 1001;
// The fields of the example sweeps' driver that the sweeps do not tell, by input (0 is Fs).
const struct {
    int input;
    const char *text;
} SWEEP_EXAMPLE[] = {{3, "132"}, {9, "20"}};
constexpr int FILE_NAME_BOX = 0x47C, FILE_NAME_EDIT = 0x480;
const char MESSAGE_BOX_CLASS[] = "#32770";
const char FIT_CAPTION[] = "ANPASSNING"; // the box that tells how well the sweeps fit
constexpr int BOX_TEXT = 0xFFFF;         // the static of a message box that holds its text
constexpr DWORD WAIT_LIMIT_MS = 20000;
// The window menu's "Mät impedans…". Wine keeps a window's menus in its own process, where no
// other program reads them: calculator_test reads the menu back, and this sends its command.
constexpr WPARAM MEASURE_COMMAND = 0x0020;
const char MEASURE_TITLE[] = "Mät impedans";
// The measuring dialog's controls, by identifier.
constexpr int RREF = 102, GRAMS = 107, OPEN_RECORDING = 109, AS_FREE_AIR = 110, AS_ADDED_MASS = 111,
              SAVE_CURVE = 115, USE = 116;
// How long a file opened at start may take to fill the name field.
constexpr DWORD FILE_WAIT_MS = 5000;

BOOL CALLBACK note_unpainted(HWND child, LPARAM unpainted) {
    if (GetUpdateRect(child, nullptr, FALSE))
        *reinterpret_cast<bool *>(unpainted) = true;
    return TRUE;
}

bool nothing_to_paint(HWND window) {
    bool unpainted = GetUpdateRect(window, nullptr, FALSE) != 0;
    EnumChildWindows(window, note_unpainted, reinterpret_cast<LPARAM>(&unpainted));
    return !unpainted;
}

// A window's update region empties as its painting begins, and its controls paint after it: the
// window is painted once neither it nor a control has anything left to paint, and its program
// has gone back to its message loop, so that the last paint has been drawn to its end.
bool painted(HWND window, DWORD limit_ms) {
    DWORD_PTR ignored;
    return IsWindowVisible(window) && nothing_to_paint(window) &&
           SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, limit_ms, &ignored) &&
           nothing_to_paint(window);
}

// The program's window of that class and title (a top-level window's class is its title), once
// it is painted.
HWND wait_for_window(const char *class_name, const char *title, DWORD limit_ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowA(class_name, title);
        if (window && painted(window, limit_ms))
            return window;
        if (GetTickCount() - start > limit_ms)
            return nullptr;
        Sleep(1);
    }
}

BOOL CALLBACK collect_edit(HWND child, LPARAM list) {
    char name[16];
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, "Edit") == 0)
        reinterpret_cast<std::vector<HWND> *>(list)->push_back(child);
    return TRUE;
}

// The window's fields, the name field first, then the inputs in their order; false without the
// window or with fields other than its eleven.
bool find_fields(HWND window, std::vector<HWND> &edits) {
    if (!window)
        return false;
    EnumChildWindows(window, collect_edit, reinterpret_cast<LPARAM>(&edits));
    return edits.size() == 11;
}

void type(HWND edit, const char *text) {
    for (const char *c = text; *c; ++c)
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 0);
}

int fill() {
    HWND window = wait_for_window(TITLE, TITLE, WAIT_LIMIT_MS);
    std::vector<HWND> edits;
    if (!find_fields(window, edits))
        return 1;
    for (int i = 0; i < 10; ++i)
        type(edits[i + 1], WORKED[i]);
    SendMessageA(GetDlgItem(window, CALCULATE), BM_CLICK, 0, 0);
    return wait_for_window(TITLE, TITLE, WAIT_LIMIT_MS) ? 0 : 1;
}

// The file dialog, once it is up: the dialog with a file-name box.
HWND wait_for_file_dialog(DWORD limit_ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        for (HWND d = FindWindowA(MESSAGE_BOX_CLASS, nullptr); d;
             d = FindWindowExA(nullptr, d, MESSAGE_BOX_CLASS, nullptr))
            if (IsWindowVisible(d) &&
                (GetDlgItem(d, FILE_NAME_BOX) || GetDlgItem(d, FILE_NAME_EDIT)))
                return d;
        if (GetTickCount() - start > limit_ms)
            return nullptr;
        Sleep(10);
    }
}

HWND file_name_box(HWND dialog) {
    HWND box = GetDlgItem(dialog, FILE_NAME_BOX);
    return box ? box : GetDlgItem(dialog, FILE_NAME_EDIT);
}

int open_sweeps(const char *folder, const char *free, const char *added) {
    HWND window = wait_for_window(TITLE, TITLE, WAIT_LIMIT_MS);
    std::vector<HWND> edits;
    if (!find_fields(window, edits))
        return 1;
    for (const auto &field : SWEEP_EXAMPLE)
        type(edits[field.input + 1], field.text);
    PostMessageA(window, WM_COMMAND, OPEN, 0);
    // The folder first, which the dialog opens, then the two names together.
    HWND dialog = wait_for_file_dialog(WAIT_LIMIT_MS);
    if (!dialog)
        return 1;
    SetWindowTextA(file_name_box(dialog), folder);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    char names[MAX_PATH * 2];
    std::snprintf(names, sizeof names, "\"%s\" \"%s\"", free, added);
    SetWindowTextA(file_name_box(dialog), names);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return wait_for_window(MESSAGE_BOX_CLASS, FIT_CAPTION, WAIT_LIMIT_MS) ? 0 : 1;
}

int fields() {
    std::vector<HWND> edits;
    if (!find_fields(wait_for_window(TITLE, TITLE, WAIT_LIMIT_MS), edits))
        return 1;
    // Another process's edit keeps its text to itself: GetWindowText would not ask it.
    char text[256] = "";
    const auto read = [&](HWND edit) {
        SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    };
    for (DWORD start = GetTickCount(); GetTickCount() - start < FILE_WAIT_MS && !text[0]; Sleep(10))
        read(edits[0]);
    for (HWND edit : edits) {
        read(edit);
        std::printf("%s\n", text);
    }
    return 0;
}

int measure_dialog(int times) {
    HWND window = wait_for_window(TITLE, TITLE, WAIT_LIMIT_MS);
    if (!window)
        return 1;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < times; ++i) {
        if (i > 0) {
            PostMessageA(FindWindowA(MEASURE_TITLE, MEASURE_TITLE), WM_CLOSE, 0, 0);
            for (DWORD start = GetTickCount(); FindWindowA(MEASURE_TITLE, MEASURE_TITLE) &&
                                               GetTickCount() - start < WAIT_LIMIT_MS;)
                Sleep(1);
        }
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        PostMessageA(window, WM_SYSCOMMAND, MEASURE_COMMAND, 0);
        const HWND dialog = wait_for_window(MEASURE_TITLE, MEASURE_TITLE, WAIT_LIMIT_MS);
        QueryPerformanceCounter(&end);
        if (!dialog)
            return 1;
        std::printf("measure_dialog_ms %.2f\n",
                    1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
    }
    return 0;
}

void click(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Presses a button of the dialog that asks for a file, gives it path and waits until the dialog
// is done with it.
int choose_file(int button, const char *path) {
    HWND dialog = wait_for_window(MEASURE_TITLE, MEASURE_TITLE, WAIT_LIMIT_MS);
    if (!dialog)
        return 1;
    click(dialog, button);
    HWND chooser = wait_for_file_dialog(WAIT_LIMIT_MS);
    if (!chooser)
        return 1;
    SetWindowTextA(file_name_box(chooser), path);
    PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    for (DWORD start = GetTickCount(); IsWindow(chooser); Sleep(1))
        if (GetTickCount() - start > WAIT_LIMIT_MS)
            return 1;
    return wait_for_window(MEASURE_TITLE, MEASURE_TITLE, WAIT_LIMIT_MS) ? 0 : 1;
}

int open_recording(const char *path, const char *grams) {
    HWND dialog = wait_for_window(MEASURE_TITLE, MEASURE_TITLE, WAIT_LIMIT_MS);
    if (!dialog)
        return 1;
    SendMessageA(GetDlgItem(dialog, RREF), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("10"));
    SendMessageA(GetDlgItem(dialog, AS_FREE_AIR), BM_SETCHECK, grams ? BST_UNCHECKED : BST_CHECKED,
                 0);
    SendMessageA(GetDlgItem(dialog, AS_ADDED_MASS), BM_SETCHECK,
                 grams ? BST_CHECKED : BST_UNCHECKED, 0);
    if (grams)
        SendMessageA(GetDlgItem(dialog, GRAMS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(grams));
    return choose_file(OPEN_RECORDING, path);
}

int use() {
    HWND window = wait_for_window(TITLE, TITLE, WAIT_LIMIT_MS);
    HWND dialog = wait_for_window(MEASURE_TITLE, MEASURE_TITLE, WAIT_LIMIT_MS);
    std::vector<HWND> edits;
    if (!dialog || !find_fields(window, edits))
        return 1;
    for (const auto &field : SWEEP_EXAMPLE)
        type(edits[field.input + 1], field.text);
    click(dialog, USE);
    return wait_for_window(MESSAGE_BOX_CLASS, FIT_CAPTION, WAIT_LIMIT_MS) ? 0 : 1;
}

int loaded(const char *dll) {
    HWND window = wait_for_window(TITLE, TITLE, WAIT_LIMIT_MS);
    DWORD id = 0;
    if (!window || !GetWindowThreadProcessId(window, &id))
        return 1;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (!process)
        return 1;
    HMODULE modules[512];
    DWORD bytes = 0;
    const bool listed = EnumProcessModules(process, modules, sizeof modules, &bytes);
    bool found = false;
    for (DWORD i = 0; listed && i < bytes / sizeof modules[0]; ++i) {
        char name[MAX_PATH];
        if (GetModuleBaseNameA(process, modules[i], name, sizeof name) && lstrcmpiA(name, dll) == 0)
            found = true;
    }
    CloseHandle(process);
    if (!listed)
        return 1;
    std::printf("%d\n", found ? 1 : 0);
    return 0;
}

int command(const char *id) {
    HWND window = wait_for_window(TITLE, TITLE, WAIT_LIMIT_MS);
    return window && PostMessageA(window, WM_SYSCOMMAND, std::strtoul(id, nullptr, 10), 0) ? 0 : 1;
}

int box(const char *caption) {
    HWND found = wait_for_window(MESSAGE_BOX_CLASS, caption, WAIT_LIMIT_MS);
    if (!found)
        return 1;
    char text[1024] = "";
    GetDlgItemTextA(found, BOX_TEXT, text, sizeof text);
    std::printf("%s\n", text);
    return PostMessageA(found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0) ? 0 : 1;
}

int press_ok() {
    HWND box = wait_for_window(MESSAGE_BOX_CLASS, FIT_CAPTION, WAIT_LIMIT_MS);
    return box && PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0) ? 0 : 1;
}

int close() {
    HWND window = FindWindowA(TITLE, TITLE);
    return window && PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
}

const char BOX_TITLE[] = "Lådberäkning";
const char INPUT_ERROR[] = "INMATNINGSFEL";
// The form's fields in the dialog's order, named as elemtrix-calc --box names them.
const char *const BOX_FIELDS[] = {"Qtc", "Vb", "Fb", "QL", "Port", "Ports", "Xmax", "Pe", "Power"};
const char *const BOX_DEFAULTS[] = {"0.707", "", "", "7", "", "1", "", "", "1"};
// The dialog's choices of each type in its order; a built box is the last.
const char *const SEALED_CHOICES[] = {"Qtc", "built"};
const char *const VENTED_CHOICES[] = {"flattest", "B4", "QB3", "SC4", "C4", "BB4", "built"};
constexpr int BOX_FIGURES = 12;

// The dialog, opened as its item in the window menu opens it. Wine keeps a process's menus
// to itself, so the item's text and identifier are read back by the window's own tests.
HWND open_box_dialog(HWND window) {
    if (!PostMessageA(window, WM_SYSCOMMAND, ID_BOX_DIALOG, 0))
        return nullptr;
    return wait_for_window(BOX_TITLE, BOX_TITLE, WAIT_LIMIT_MS);
}

void choose(HWND dialog, int id, int index) {
    HWND choice = GetDlgItem(dialog, id);
    SendMessageA(choice, CB_SETCURSEL, index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(choice));
}

int index_of(const char *const *names, int count, const std::string &name) {
    for (int i = 0; i < count; ++i)
        if (name == names[i])
            return i;
    return -1;
}

std::string text_of(HWND control) {
    char text[600] = "";
    GetWindowTextA(control, text, sizeof text);
    return text;
}

// An "INMATNINGSFEL" box that the dialog brought up: its text, and OK pressed.
bool answer_input_error(HWND dialog) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < WAIT_LIMIT_MS) {
        HWND box = FindWindowA(MESSAGE_BOX_CLASS, INPUT_ERROR);
        if (box && GetWindow(box, GW_OWNER) == dialog) {
            std::printf("INMATNINGSFEL\t%s\n", text_of(GetDlgItem(box, 0xFFFF)).c_str());
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return true;
        }
        Sleep(5);
    }
    return false;
}

int box_dialog_design(int argc, char **argv) {
    HWND window = wait_for_window(TITLE, TITLE, WAIT_LIMIT_MS);
    HWND dialog = window ? open_box_dialog(window) : nullptr;
    if (!dialog)
        return 1;
    bool vented = false;
    std::string alignment;
    std::vector<std::pair<int, std::string>> texts;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const int field = index_of(BOX_FIELDS, 9, name);
        if (arg == "vented" || arg == "sealed")
            vented = arg == "vented";
        else if (name == "Alignment" && equals != std::string::npos)
            alignment = arg.substr(equals + 1);
        else if (field >= 0 && equals != std::string::npos)
            texts.push_back({field, arg.substr(equals + 1)});
        else
            return 2;
    }
    const bool built =
        std::any_of(texts.begin(), texts.end(), [](const auto &t) { return t.first == 1; });
    const int choice = built               ? (vented ? 6 : 1)
                       : alignment.empty() ? 0
                                           : index_of(VENTED_CHOICES, 7, alignment);
    if (choice < 0)
        return 2;
    choose(dialog, ID_BOX_TYPE, vented ? 1 : 0);
    choose(dialog, ID_BOX_CHOICE, choice);
    // Every field as given, or as it first was, which is elemtrix-calc's default.
    for (int field = 0; field < 9; ++field) {
        const char *text = BOX_DEFAULTS[field];
        for (const auto &t : texts)
            if (t.first == field)
                text = t.second.c_str();
        HWND edit = GetDlgItem(dialog, ID_BOX_FIELD + field);
        SetWindowTextA(edit, "");
        type(edit, text);
    }
    DWORD_PTR ignored;
    // A box that the design brings up keeps the button's message from returning.
    if (!SendMessageTimeoutA(GetDlgItem(dialog, ID_BOX_DESIGN), BM_CLICK, 0, 0, SMTO_NORMAL, 3000,
                             &ignored))
        return answer_input_error(dialog) ? 0 : 1;
    if (!wait_for_window(BOX_TITLE, BOX_TITLE, WAIT_LIMIT_MS))
        return 1;
    std::printf("source\t%s\n", text_of(GetDlgItem(dialog, ID_BOX_SOURCE)).c_str());
    std::printf("name\t%s\n", text_of(GetDlgItem(dialog, ID_BOX_NAME)).c_str());
    std::string columns[BOX_FIGURE_COLUMNS];
    for (int column = 0; column < BOX_FIGURE_COLUMNS; ++column)
        columns[column] = text_of(GetDlgItem(dialog, ID_BOX_FIGURE + column)) + "\n";
    for (int row = 0; row < BOX_FIGURES; ++row) {
        std::printf("%d", row);
        for (std::string &column : columns) {
            const size_t end = column.find('\n');
            std::printf("\t%s", column.substr(0, end).c_str());
            column.erase(0, end + 1);
        }
        std::printf("\n");
    }
    return 0;
}

int box_dialog_shot(const char *path) {
    return write_client_bitmap(wait_for_window(BOX_TITLE, BOX_TITLE, WAIT_LIMIT_MS), path) ? 0 : 1;
}

const char ABOUT_TITLE[] = "Om Elemtrix";

HWND open_about_box(HWND window) {
    PostMessageA(window, WM_SYSCOMMAND, ID_ABOUT, 0);
    return wait_for_window(MESSAGE_BOX_CLASS, ABOUT_TITLE, WAIT_LIMIT_MS);
}

void close_about_box(HWND box) {
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (DWORD begun = GetTickCount(); IsWindow(box) && GetTickCount() - begun < WAIT_LIMIT_MS;)
        Sleep(1);
}

void close_dialog(HWND dialog) {
    SendMessageA(dialog, WM_CLOSE, 0, 0);
}

// Opens a window of the program's RUNS times with open and closes it with close between, and
// prints the median milliseconds from the command to the window painted, the program back in its
// loop, under the name given.
int time_openings(const char *name, int runs, HWND (*open)(HWND), void (*close)(HWND)) {
    HWND window = wait_for_window(TITLE, TITLE, WAIT_LIMIT_MS);
    if (!window || runs < 1)
        return 1;
    std::vector<double> ms;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < runs; ++i) {
        QueryPerformanceCounter(&start);
        const HWND opened = open(window);
        QueryPerformanceCounter(&end);
        if (!opened)
            return 1;
        ms.push_back(1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
        close(opened);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s %.2f (median of %d, %.2f to %.2f)\n", name, ms[ms.size() / 2], runs, ms.front(),
                ms.back());
    return 0;
}

int startup(const char *exe, const char *title) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    std::vector<char> command(exe, exe + std::strlen(exe) + 1);
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return 1;
    HWND window = wait_for_window(title, title, WAIT_LIMIT_MS);
    QueryPerformanceCounter(&end);
    PROCESS_MEMORY_COUNTERS memory{};
    GetProcessMemoryInfo(pi.hProcess, &memory, sizeof memory);
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(pi.hProcess, WAIT_LIMIT_MS);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::printf("startup_ms %.2f\npeak_memory_kb %lu\nexit_code %lu\n",
                1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart,
                static_cast<unsigned long>(memory.PeakWorkingSetSize / 1024),
                static_cast<unsigned long>(code));
    return window ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && std::strcmp(argv[1], "fill") == 0)
        return fill();
    if (argc == 2 && std::strcmp(argv[1], "close") == 0)
        return close();
    if (argc == 3 && std::strcmp(argv[1], "shot") == 0)
        return write_client_bitmap(wait_for_window(TITLE, TITLE, WAIT_LIMIT_MS), argv[2]) ? 0 : 1;
    if (argc == 5 && std::strcmp(argv[1], "open-sweeps") == 0)
        return open_sweeps(argv[2], argv[3], argv[4]);
    if (argc == 2 && std::strcmp(argv[1], "ok") == 0)
        return press_ok();
    if (argc == 2 && std::strcmp(argv[1], "fields") == 0)
        return fields();
    if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "measure-dialog") == 0)
        return measure_dialog(argc == 3 ? std::atoi(argv[2]) : 1);
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "open-recording") == 0)
        return open_recording(argv[2], argc == 4 ? argv[3] : nullptr);
    if (argc == 3 && std::strcmp(argv[1], "save-curve") == 0)
        return choose_file(SAVE_CURVE, argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "loaded") == 0)
        return loaded(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "use") == 0)
        return use();
    if (argc == 3 && std::strcmp(argv[1], "command") == 0)
        return command(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "box") == 0)
        return box(argv[2]);
    if (argc >= 2 && std::strcmp(argv[1], "box-dialog") == 0)
        return box_dialog_design(argc - 2, argv + 2);
    if (argc == 3 && std::strcmp(argv[1], "box-dialog-shot") == 0)
        return box_dialog_shot(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "box-dialog-open") == 0)
        return time_openings("box_dialog_ms", std::atoi(argv[2]), open_box_dialog, close_dialog);
    if (argc == 3 && std::strcmp(argv[1], "about-open") == 0)
        return time_openings("about_box_ms", std::atoi(argv[2]), open_about_box, close_about_box);
    // The title's own letters may not survive a POSIX command line, so it is the default.
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "startup") == 0)
        return startup(argv[2], argc == 4 ? argv[3] : TITLE);
    std::fputs(
        "usage: elemtrix-drive fill | close | shot FILE.bmp | open-sweeps FOLDER FREE ADDED | "
        "ok | fields | command ID | box CAPTION | measure-dialog [N] | open-recording FILE "
        "[GRAMS] | save-curve FILE | use | loaded DLL | box-dialog [ARG...] | "
        "box-dialog-shot FILE.bmp | box-dialog-open RUNS | about-open RUNS | startup EXE [TITLE]\n",
        stderr);
    return 2;
}
