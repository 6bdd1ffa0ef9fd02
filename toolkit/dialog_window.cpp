#include "toolkit/dialog_window.h"

namespace {

constexpr DWORD DIALOG_STYLE =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD DIALOG_EX_STYLE = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int DROPPED_LIST_ITEMS = 8;
constexpr int FRAME_CAPTION_INDENT = 8;

HWND dialogs[WT_DIALOGS];

struct Alignment {
    const char *keyword;
    DWORD bits;
};
const Alignment STATIC_ALIGNMENTS[] = {{"L", SS_LEFT}, {"R", SS_RIGHT}, {"C", SS_CENTER}};

HINSTANCE instance_of(HWND window) {
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

HMENU id_of(int id) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

// A dialog's font rather than the bold system font.
void give_font(HWND control) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
}

bool register_class(HWND owner, const char *title, WNDPROC procedure) {
    const HINSTANCE instance = instance_of(owner);
    WNDCLASSA existing;
    if (GetClassInfoA(instance, title, &existing))
        return true;
    WNDCLASSA c{};
    c.lpfnWndProc = procedure;
    c.cbWndExtra = DLGWINDOWEXTRA;
    c.hInstance = instance;
    // The program's icon, which its windows show when minimised or switched to.
    c.hIcon = reinterpret_cast<HICON>(GetClassLongPtrA(owner, GCLP_HICON));
    c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    c.lpszClassName = title;
    return RegisterClassA(&c) != 0;
}

HWND *free_slot() {
    for (HWND &d : dialogs)
        if (!d || !IsWindow(d))
            return &d;
    return nullptr;
}

} // namespace

HWND wt_create_dialog(HWND owner, const char *title, int width, int height, WNDPROC procedure,
                      const POINT *offset) {
    HWND *slot = free_slot();
    const HINSTANCE instance = instance_of(owner);
    if (!slot || !register_class(owner, title, procedure))
        return nullptr;
    RECT frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, DIALOG_STYLE, FALSE, DIALOG_EX_STYLE);
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    RECT o;
    GetWindowRect(owner, &o);
    const int x = offset ? o.left + offset->x : (o.left + o.right - w) / 2;
    const int y = offset ? o.top + offset->y : (o.top + o.bottom - h) / 2;
    HWND dialog = CreateWindowExA(DIALOG_EX_STYLE, title, title, DIALOG_STYLE, x < 0 ? 0 : x,
                                  y < 0 ? 0 : y, w, h, owner, nullptr, instance, nullptr);
    *slot = dialog;
    return dialog;
}

bool wt_dialog_message(MSG *message) {
    for (HWND d : dialogs)
        if (d && IsWindow(d) && (message->hwnd == d || IsChild(d, message->hwnd)))
            return IsDialogMessageA(d, message) != 0;
    return false;
}

void wt_paint_dialog(HWND dialog, const WtDialogFrame *frames, int frame_count,
                     const WtDialogLabel *labels, int label_count) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    const HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    for (int i = 0; i < frame_count; ++i) {
        RECT r = frames[i].rectangle;
        r.top += metrics.tmHeight / 2; // the edge runs through the caption's middle
        DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
        const char *caption = frames[i].caption;
        // Opaque, so that the edge stops either side of the caption.
        SetBkMode(dc, OPAQUE);
        TextOutA(dc, frames[i].rectangle.left + FRAME_CAPTION_INDENT, frames[i].rectangle.top,
                 caption, lstrlenA(caption));
    }
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < label_count; ++i)
        TextOutA(dc, labels[i].x, labels[i].y, labels[i].text, lstrlenA(labels[i].text));
    SelectObject(dc, old);
    EndPaint(dialog, &paint);
}

HWND wt_create_static(HWND parent, int x, int y, int width, int height, const char *text,
                      const char *alignment, int id) {
    DWORD align = SS_LEFT;
    for (const Alignment &a : STATIC_ALIGNMENTS)
        if (lstrcmpA(a.keyword, alignment) == 0)
            align = a.bits;
    HWND s = CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | SS_NOPREFIX | align, x, y,
                             width, height, parent, id_of(id), instance_of(parent), nullptr);
    give_font(s);
    return s;
}

HWND wt_create_field(HWND parent, int x, int y, int width, int height, int text_limit, int id) {
    HWND f = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", nullptr,
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, x, y,
                             width, height, parent, id_of(id), instance_of(parent), nullptr);
    SendMessageA(f, EM_LIMITTEXT, text_limit, 0);
    give_font(f);
    return f;
}

HWND wt_create_choice(HWND parent, int x, int y, int width, int height, const char *const *items,
                      int count, int id) {
    const int dropped = height * (DROPPED_LIST_ITEMS + 1);
    HWND c = CreateWindowExA(0, "COMBOBOX", nullptr,
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, x,
                             y, width, dropped, parent, id_of(id), instance_of(parent), nullptr);
    give_font(c);
    for (int i = 0; i < count; ++i)
        SendMessageA(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i]));
    SendMessageA(c, CB_SETCURSEL, 0, 0);
    return c;
}

int wt_choice(HWND choice) {
    const LRESULT i = SendMessageA(choice, CB_GETCURSEL, 0, 0);
    return i == CB_ERR ? -1 : static_cast<int>(i);
}
