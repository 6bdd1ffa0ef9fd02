#include "toolkit/controls.h"

namespace {

struct FontStyle {
    int code;
    BOOL italic;
    BOOL underline;
    BOOL strike_out;
};

// Codes outside the table give a plain font.
const FontStyle FONT_STYLES[] = {
    {0, FALSE, FALSE, FALSE}, {1, TRUE, FALSE, FALSE}, {2, FALSE, TRUE, FALSE},
    {3, FALSE, FALSE, TRUE},  {12, TRUE, TRUE, FALSE}, {13, TRUE, FALSE, TRUE},
    {23, FALSE, TRUE, TRUE},  {123, TRUE, TRUE, TRUE},
};

struct KeywordBits {
    const char *keyword;
    DWORD bits;
};

const KeywordBits EDIT_ALIGNMENTS[] = {
    {"L", ES_LEFT},
    {"C", ES_CENTER},
    {"R", ES_RIGHT},
    {"NL", ES_NUMBER | ES_LEFT},
    {"NC", ES_NUMBER | ES_CENTER},
    {"NR", ES_NUMBER | ES_RIGHT},
};
const KeywordBits DEFAULT_EDIT_ALIGNMENT = {"", ES_LEFT};
constexpr DWORD EDIT_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_NOHIDESEL | ES_AUTOHSCROLL;
constexpr int EDIT_ID = 1;

const KeywordBits BUTTON_ALIGNMENTS[] = {
    {"L", BS_LEFT},
    {"R", BS_RIGHT},
    {"T", BS_TOP},
    {"B", BS_BOTTOM},
    {"C", BS_CENTER},
    {"LB", BS_LEFT | BS_BOTTOM},
    {"LT", BS_LEFT | BS_TOP},
    {"RB", BS_RIGHT | BS_BOTTOM},
    {"RT", BS_RIGHT | BS_TOP},
};
const KeywordBits DEFAULT_BUTTON_ALIGNMENT = {"", BS_CENTER};

struct ButtonLook {
    const char *keyword;
    DWORD style;
    DWORD ex_style;
};

constexpr DWORD BUTTON_CHILD = WS_CHILD | WS_VISIBLE;
const ButtonLook BUTTON_LOOKS[] = {
    {"NORMAL", BUTTON_CHILD | BS_PUSHBUTTON, 0},
    {"SHADOW", BUTTON_CHILD | BS_DEFPUSHBUTTON, 0},
    {"SUNKEN", BUTTON_CHILD | BS_PUSHBUTTON, WS_EX_CLIENTEDGE},
    {"SUNKEN_SHADOW", BUTTON_CHILD | BS_DEFPUSHBUTTON, WS_EX_CLIENTEDGE},
    {"BAR", BUTTON_CHILD | WS_DLGFRAME | BS_PUSHBUTTON, 0},
    {"BAR_SHADOW", BUTTON_CHILD | WS_DLGFRAME | BS_DEFPUSHBUTTON, 0},
    {"EDGE", BUTTON_CHILD | WS_DLGFRAME | BS_PUSHBUTTON, WS_EX_CLIENTEDGE},
    {"EDGE_SHADOW", BUTTON_CHILD | WS_DLGFRAME | BS_DEFPUSHBUTTON, WS_EX_CLIENTEDGE},
};
// An unknown look still makes a visible child button rather than a stray top-level window.
const ButtonLook DEFAULT_BUTTON_LOOK = BUTTON_LOOKS[0];

struct RedrawKeyword {
    const char *keyword;
    BOOL erase;
};

const RedrawKeyword REDRAW_KEYWORDS[] = {{"ERASED", TRUE}, {"UNERASED", FALSE}};

// Keys an edit keeps for itself; every other key-down goes to the parent as a command.
const WPARAM CARET_KEYS[] = {VK_END, VK_HOME, VK_LEFT, VK_RIGHT};
constexpr WPARAM FIRST_UNFILTERED_KEY = 256;

WNDPROC saved_edit_procedure = nullptr;

const FontStyle &find_font_style(int code) {
    for (const FontStyle &row : FONT_STYLES)
        if (row.code == code)
            return row;
    return FONT_STYLES[0];
}

template <typename Row, size_t N>
const Row &find_keyword(const Row (&table)[N], const char *keyword, const Row &fallback) {
    for (const Row &row : table)
        if (lstrcmpA(row.keyword, keyword) == 0)
            return row;
    return fallback;
}

HINSTANCE instance_of(HWND window) {
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

bool is_caret_key(WPARAM key) {
    for (WPARAM caret_key : CARET_KEYS)
        if (key == caret_key)
            return true;
    return false;
}

} // namespace

HFONT wt_create_font(int height, int width, int escapement, int weight, int style_code,
                     int pitch_and_family, const char *face) {
    const FontStyle &style = find_font_style(style_code);
    return CreateFontA(height, width, escapement, escapement, weight, style.italic, style.underline,
                       style.strike_out, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, pitch_and_family, face);
}

HFONT wt_create_point_font(HWND window, int points, int weight, int style_code, const char *face) {
    HDC dc = GetDC(window);
    // Negative: the platform then matches the character height, not the cell height.
    int height = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    HFONT font = wt_create_font(height, 0, 0, weight, style_code, FF_SWISS | DEFAULT_PITCH, face);
    ReleaseDC(window, dc);
    return font;
}

HWND wt_create_edit(HWND parent, int x, int y, int width, int height, const char *alignment,
                    int text_limit) {
    DWORD align = find_keyword(EDIT_ALIGNMENTS, alignment, DEFAULT_EDIT_ALIGNMENT).bits;
    HWND edit =
        CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", nullptr, EDIT_STYLE | align, x, y, width, height,
                        parent, reinterpret_cast<HMENU>(EDIT_ID), instance_of(parent), nullptr);
    SendMessageA(edit, EM_LIMITTEXT, text_limit, 0);
    if (edit) {
        saved_edit_procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(edit, GWLP_WNDPROC));
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(wt_edit_proc));
    }
    return edit;
}

LRESULT CALLBACK wt_edit_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_KEYDOWN && wparam < FIRST_UNFILTERED_KEY && !is_caret_key(wparam)) {
        PostMessageA(GetParent(window), WM_COMMAND, wparam, 0);
        return 0;
    }
    if (message == WM_CHAR && (wparam == '\t' || wparam == '\r'))
        return 0;
    if (!saved_edit_procedure)
        return 0;
    return CallWindowProcA(saved_edit_procedure, window, message, wparam, lparam);
}

int wt_set_font(HWND control, HFONT font) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return 0;
}

HWND wt_create_button(HWND parent, int x, int y, int width, int height, const char *caption,
                      const char *alignment, const char *look, int command_id) {
    DWORD align = find_keyword(BUTTON_ALIGNMENTS, alignment, DEFAULT_BUTTON_ALIGNMENT).bits;
    const ButtonLook &button_look = find_keyword(BUTTON_LOOKS, look, DEFAULT_BUTTON_LOOK);
    HWND button = CreateWindowExA(button_look.ex_style, "button", caption,
                                  button_look.style | align | BS_PUSHLIKE, x, y, width, height,
                                  parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(command_id)),
                                  instance_of(parent), nullptr);
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
    ShowWindow(button, SW_SHOW);
    return button;
}

int wt_get_text(HWND edit, char *buffer) {
    WPARAM limit = SendMessageA(edit, EM_GETLIMITTEXT, 0, 0);
    SendMessageA(edit, WM_GETTEXT, limit + 1, reinterpret_cast<LPARAM>(buffer));
    return lstrlenA(buffer);
}

int wt_set_text(HWND control, const char *text) {
    SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    return 0;
}

int wt_redraw(HWND window, RECT rectangle, const char *keyword) {
    for (const RedrawKeyword &row : REDRAW_KEYWORDS)
        if (lstrcmpA(row.keyword, keyword) == 0)
            return InvalidateRect(window, &rectangle, row.erase) ? 0 : 1;
    return 1;
}
