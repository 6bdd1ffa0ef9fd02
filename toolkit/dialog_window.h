// Modeless dialogs: top-level windows with a window procedure of their own whose keyboard works
// as a dialog's (Tab and Shift+Tab between controls, Enter for the default command, Esc to
// close, arrows in a group), and the few controls they need beyond edits and buttons.
//
//     HWND d = wt_create_dialog(owner, "Lådberäkning", 760, 560, box_dialog_proc);
//     ...
//     while (GetMessageA(&m, nullptr, 0, 0) > 0)
//         if (!wt_dialog_message(&m)) { TranslateMessage(&m); DispatchMessageA(&m); }
#pragma once

#include <windows.h>

constexpr int WT_DIALOGS = 4; // open at the same time

// A window owned by owner and centred on it, or as far down and right of its corner as offset
// says, of the client size given, in the button face colour, with a title bar, a close box, a
// minimise box and the owner's icon; its class is named after the title and registered with the
// procedure on first use. Enter sends the procedure WM_COMMAND with IDOK, Esc with IDCANCEL.
// Null when it cannot be made or WT_DIALOGS are open. Placed as it is made: under Wine a move
// afterwards costs several milliseconds.
HWND wt_create_dialog(HWND owner, const char *title, int width, int height, WNDPROC procedure,
                      const POINT *offset = nullptr);

// Hands the message to the dialog it is for, as IsDialogMessageA does, when that is a dialog made
// by wt_create_dialog; true when it was handled there. Messages of other windows are left alone.
bool wt_dialog_message(MSG *message);

// Texts and frames that a dialog paints itself rather than keeping a window for each: under
// Wine every control made costs about a millisecond, and every control painted again.
struct WtDialogLabel {
    int x, y;
    const char *text;
};
struct WtDialogFrame {
    RECT rectangle;
    const char *caption; // on the top edge
};
// For WM_PAINT of a dialog made here: the frames, then the labels, in the dialog font.
void wt_paint_dialog(HWND dialog, const WtDialogFrame *frames, int frame_count,
                     const WtDialogLabel *labels, int label_count);

// A text, several lines where it holds "\n"; alignment "L", "R" or "C".
HWND wt_create_static(HWND parent, int x, int y, int width, int height, const char *text,
                      const char *alignment, int id);
// An edit field without the calculator's key filter, so that the dialog's keys work in it.
HWND wt_create_field(HWND parent, int x, int y, int width, int height, int text_limit, int id);
// A drop-down list of count items, the first chosen; height is the closed list's.
HWND wt_create_choice(HWND parent, int x, int y, int width, int height, const char *const *items,
                      int count, int id);
// The item chosen, -1 for none.
int wt_choice(HWND choice);
