// The system's open and save dialogs, each with its own settings and result buffers that last
// the whole run.
#pragma once

#include <windows.h>

constexpr int WT_PATH_SIZE = 260;
constexpr int WT_NAME_SIZE = 256;
// Several files chosen at once come back as the folder and every name: room for many long names.
constexpr int WT_OPEN_PATH_SIZE = 32768;

extern char wt_open_path[WT_OPEN_PATH_SIZE];
extern char wt_open_name[WT_NAME_SIZE];
extern char wt_save_path[WT_PATH_SIZE];
extern char wt_save_name[WT_NAME_SIZE];

// Filter keyword "OWN_FILTER" (own_filter is used), "NONE_FILTER", "TXT_FILTER", "ALL_FILTER",
// "C_DEV_FILTER"; any other keeps the dialog's previous list. Result kind "FILENAME" or "PATH"
// writes the chosen name or path into the owner's title. 0 for a confirmed choice, 1 otherwise.
int wt_open_file_dialog(HWND owner, const char *title, const char *result_kind,
                        const char *filter_keyword, const char *own_filter);
int wt_save_file_dialog(HWND owner, const char *title, const char *result_kind,
                        const char *filter_keyword, const char *own_filter);

// Why the last dialog gave no choice: 0 for a cancel, otherwise the system's code
// (CommDlgExtendedError), FNERR_BUFFERTOOSMALL when the chosen names do not fit the path buffer.
// That leaves the open path empty, as the system writes the size it needed into it.
DWORD wt_dialog_error();

// Read-only views of the two dialogs' settings records, for tests that check what the system is
// handed. The records are filled by each call and keep their contents between calls.
const OPENFILENAMEA &wt_open_record();
const OPENFILENAMEA &wt_save_record();
