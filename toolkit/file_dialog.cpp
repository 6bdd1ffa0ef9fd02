#include "toolkit/file_dialog.h"

#include <cderr.h>

#include <cstring>

char wt_open_path[WT_OPEN_PATH_SIZE];
char wt_open_name[WT_NAME_SIZE];
char wt_save_path[WT_PATH_SIZE];
char wt_save_name[WT_NAME_SIZE];

namespace {

// The record's oldest explorer-style form, ending at lpTemplateName: 76 bytes in a 32-bit program,
// 136 in a 64-bit one. The fields that later system versions added stay unused.
const DWORD RECORD_SIZE = OPENFILENAME_SIZE_VERSION_400A;
constexpr DWORD OPEN_FLAGS =
    OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY;
constexpr DWORD SAVE_FLAGS = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;

constexpr const char *OWN_FILTER = "OWN_FILTER";

// Each list is pairs of description and patterns; the literal's own terminator supplies the NUL
// that ends the list.
const char NONE_LIST[] = "Alla filer (*.*)\0*.*\0";

const char TXT_LIST[] = "Text filer (*.txt)\0*.TXT\0"
                        "Alla filer (*.*)\0*.*\0";

const char ALL_LIST[] = "Text filer (*.txt)\0*.TXT\0"
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
                        "Alla filer (*.*)\0*.*\0";

const char C_DEV_LIST[] = "Programkod (*.c,*.cpp,*.h)\0*.CPP;*.C;*.H\0"
                          "Resursfiler (*.rc,*.res,*.rh)\0*.RC;*.RES;*.RH\0"
                          "Alla filer (*.*)\0*.*\0";

struct BuiltInFilter {
    const char *keyword;
    const char *list;
};

const BuiltInFilter BUILT_IN_FILTERS[] = {
    {"NONE_FILTER", NONE_LIST},
    {"TXT_FILTER", TXT_LIST},
    {"ALL_FILTER", ALL_LIST},
    {"C_DEV_FILTER", C_DEV_LIST},
};

OPENFILENAMEA open_record;
OPENFILENAMEA save_record;

// An unknown keyword keeps whatever list this dialog had last time.
const char *chosen_filter(const char *keyword, const char *own_filter, const char *previous) {
    if (strcmp(keyword, OWN_FILTER) == 0)
        return own_filter;
    for (const BuiltInFilter &filter : BUILT_IN_FILTERS) {
        if (strcmp(keyword, filter.keyword) == 0)
            return filter.list;
    }
    return previous;
}

void fill_record(OPENFILENAMEA &record, HWND owner, const char *title, const char *filter_keyword,
                 const char *own_filter, char *path, DWORD path_size, char *name, DWORD flags) {
    const char *filter = chosen_filter(filter_keyword, own_filter, record.lpstrFilter);
    record = OPENFILENAMEA{};
    record.lStructSize = RECORD_SIZE;
    record.hwndOwner = owner;
    record.lpstrFilter = filter;
    record.nFilterIndex = 1;
    record.lpstrFile = path;
    record.nMaxFile = path_size;
    record.lpstrFileTitle = name;
    record.nMaxFileTitle = WT_NAME_SIZE;
    record.lpstrTitle = title;
    record.Flags = flags;
}

// The dialog library is loaded when a dialog is first asked for: linked at start-up it brings
// the printing libraries along and makes every start noticeably slower. A library that cannot be
// loaded makes the dialog fail, which counts as a cancel.
using DialogFunction = BOOL(WINAPI *)(OPENFILENAMEA *);
using ErrorFunction = DWORD(WINAPI *)();

HMODULE dialog_library = nullptr;
DWORD dialog_error = 0;

FARPROC dialog_function(const char *name) {
    // Dialogs run on the one GUI thread only, so a plain check does.
    if (!dialog_library)
        dialog_library = LoadLibraryA("comdlg32.dll");
    return dialog_library ? GetProcAddress(dialog_library, name) : nullptr;
}

BOOL run_dialog(const char *function_name, OPENFILENAMEA &record) {
    const auto dialog =
        reinterpret_cast<DialogFunction>(reinterpret_cast<void *>(dialog_function(function_name)));
    const auto error = reinterpret_cast<ErrorFunction>(
        reinterpret_cast<void *>(dialog_function("CommDlgExtendedError")));
    if (!dialog || !error) {
        dialog_error = CDERR_INITIALIZATION;
        return FALSE;
    }
    dialog_error = 0;
    if (dialog(&record))
        return TRUE;
    dialog_error = error();
    // The system has put the size it needed into the buffer's first bytes: no path to propose.
    if (dialog_error == FNERR_BUFFERTOOSMALL)
        record.lpstrFile[0] = '\0';
    return FALSE;
}

// Several files come as the folder and each name, ended by an empty name. Wine cuts a list that
// does not fit short, where Windows reports FNERR_BUFFERTOOSMALL: no end within the buffer.
bool whole_list(const OPENFILENAMEA &record) {
    const char *list = record.lpstrFile;
    const DWORD size = record.nMaxFile;
    if (record.nFileOffset <= lstrlenA(list))
        return true;
    for (DWORD i = 0; i + 1 < size; ++i)
        if (list[i] == '\0' && list[i + 1] == '\0')
            return true;
    return false;
}

void show_result(HWND owner, const char *result_kind, const char *path, const char *name) {
    if (result_kind == nullptr)
        return;
    if (strcmp(result_kind, "FILENAME") == 0)
        SetWindowTextA(owner, name);
    else if (strcmp(result_kind, "PATH") == 0)
        SetWindowTextA(owner, path);
}

} // namespace

// The title follows the buffers even after a cancel, so it then shows the previous choice.
int wt_open_file_dialog(HWND owner, const char *title, const char *result_kind,
                        const char *filter_keyword, const char *own_filter) {
    fill_record(open_record, owner, title, filter_keyword, own_filter, wt_open_path,
                WT_OPEN_PATH_SIZE, wt_open_name, OPEN_FLAGS);
    int result = run_dialog("GetOpenFileNameA", open_record) ? 0 : 1;
    if (result == 0 && !whole_list(open_record)) {
        dialog_error = FNERR_BUFFERTOOSMALL;
        wt_open_path[0] = '\0';
        result = 1;
    }
    show_result(owner, result_kind, wt_open_path, wt_open_name);
    return result;
}

int wt_save_file_dialog(HWND owner, const char *title, const char *result_kind,
                        const char *filter_keyword, const char *own_filter) {
    fill_record(save_record, owner, title, filter_keyword, own_filter, wt_save_path, WT_PATH_SIZE,
                wt_save_name, SAVE_FLAGS);
    if (!run_dialog("GetSaveFileNameA", save_record))
        return 1;
    show_result(owner, result_kind, wt_save_path, wt_save_name);
    return 0;
}

DWORD wt_dialog_error() {
    return dialog_error;
}

const OPENFILENAMEA &wt_open_record() {
    return open_record;
}
const OPENFILENAMEA &wt_save_record() {
    return save_record;
}
