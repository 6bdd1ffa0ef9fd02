/* The calculator window as Elemtrix shows it after start-up, written straight against Win32 in
   plain C: the same class, controls, fonts and labels, with nothing behind the fields and
   buttons. It is the floor that Elemtrix's start-up is measured against, so it shares no code
   with the program: whatever this costs, any program drawing this window pays. */
#include <windows.h>

#include <commctrl.h>

#define COUNT(table) (sizeof(table) / sizeof *(table))

/* Also the class name, as the program's window class is named after its title. */
static const char TITLE[] = "Elemtrix       Beräknar TS-parametrar ur uppmätt element";
enum { WINDOW_WIDTH = 525, CLIENT_HEIGHT = 513 };
static const char FACE[] = "Arial";
enum { FIELD_POINTS = 8, POINTS_PER_INCH = 72 };

static const struct { int x, y, width, limit; } NAME_FIELD = {160, 10, 200, 100};
enum {
    INPUT_X = 120,
    FIELD_HEIGHT = 20,
    INPUT_CAPTION_X = 20,
    INPUT_UNIT_X = 170,
    CAPTION_DROP = 5
};

/* The ten inputs, each with its caption and unit beside the field. */
static const struct Input {
    int y, width, limit;
    const char *caption, *unit;
} INPUTS[] = {
    {100, 45, 8, "Fs", "Hz"},      {130, 45, 8, "Re", "ohm"},
    {160, 45, 8, "Zmax", "ohm"},   {190, 45, 4, "Sd", "cm2"},
    {220, 45, 8, "Vas", "Liter"},  {250, 45, 8, "Qms", "Faktor"},
    {280, 45, 8, "Qes", "Faktor"}, {310, 45, 8, "Qts", "Faktor"},
    {370, 40, 8, "Fs", "Hz"},      {400, 40, 8, "Vikt ad.massa", "Gram"},
};

static const struct Button {
    const char *caption;
    int x, y, id;
} BUTTONS[] = {{"Kalkylera", 234, 200, 1000}, {"Öppna", 10, 10, 1001}, {"Spara", 459, 10, 1002}};
enum { BUTTON_WIDTH = 50, BUTTON_HEIGHT = 25 };
static const DWORD BUTTON_STYLE =
    WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | BS_CENTER | BS_PUSHLIKE;

struct Label {
    int x, y;
    const char *text;
};
static const struct Label HEADINGS[] = {{37, 43, "Uppmätta parametrar"},
                                        {320, 43, "Kalkylerade parametrar"}};
static const struct Label GROUPS_AND_ARROWS[] = {{20, 75, "Utan adderad massa"},
                                                 {20, 345, "Med adderad massa"},
                                                 {223, 204, ">"},
                                                 {289, 204, ">"}};

/* The value column before any calculation: every value is zero. */
static const struct Row {
    const char *caption, *value, *unit;
} ROWS[] = {
    {"Fs", "0.00", "Hz"},
    {"Re", "0.00", "ohm"},
    {"Zmax", "0.00", "ohm"},
    {"Sd", "0.00", "cm2"},
    {"Vas", "0.00", "Liter"},
    {"Qms", "0.00", "Faktor"},
    {"Qes", "0.00", "Faktor"},
    {"Qts", "0.00", "Faktor"},
    {"Ro", "0.00", "ohm"},
    {"R1", "0.00", "ohm"},
    {"ZF1/ZF2", "0.00", "ohm"},
    {"Mmr", "0.00", "Gram"},
    {"Mms", "0.00", "Gram"},
    {"Cms", "0.000000", "m/N"},
    {"Cmes", "0.000000", "Farad"},
    {"Bl", "0.00", "Bl"},
    {"Mms+Mmr", "0.00", "Gram"},
    {"Känslighet Watt", "0.000000", "Watt"},
    {"Känslighet dB", "0.00", "dB"},
    {"Res", "0.00", "ohm"},
};
enum { ROW_TOP = 70, ROW_STEP = 20, ROW_CAPTION_X = 310, VALUE_X = 410, ROW_UNIT_X = 465 };
static const COLORREF VALUE_COLOUR = RGB(255, 0, 0);

/* Two grooves of one size: dark outer top and left, light outer bottom and right, the inner
   rectangle the other way round. Each line is from one point up to, not including, the other,
   relative to the frame's top-left corner. */
static const int FRAME_XS[] = {10, 300};
enum { FRAME_Y = 40, FRAME_W = 210, FRAME_H = 440, LINES_PER_PEN = 4 };
static const POINT LIGHT_LINES[LINES_PER_PEN][2] = {
    {{2, 2}, {FRAME_W - 1, 2}},
    {{0, FRAME_H + 1}, {FRAME_W + 1, FRAME_H + 1}},
    {{FRAME_W, 0}, {FRAME_W, FRAME_H + 1}},
    {{2, 2}, {2, FRAME_H - 1}},
};
static const POINT DARK_LINES[LINES_PER_PEN][2] = {
    {{0, 0}, {FRAME_W, 0}},
    {{2, FRAME_H - 1}, {FRAME_W - 1, FRAME_H - 1}},
    {{FRAME_W - 2, 2}, {FRAME_W - 2, FRAME_H - 1}},
    {{0, 0}, {0, FRAME_H + 1}},
};

static HFONT heading_font, label_font;

static HFONT arial(int height, int width, int weight, DWORD pitch_and_family) {
    return CreateFontA(height, width, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitch_and_family,
                       FACE);
}

static void text(HDC dc, int x, int y, const char *s) {
    TextOutA(dc, x, y, s, lstrlenA(s));
}

static void grooves(HDC dc, HGDIOBJ pen, const POINT (*lines)[2]) {
    static const DWORD TWO_POINTS[LINES_PER_PEN] = {2, 2, 2, 2};
    HGDIOBJ previous = SelectObject(dc, pen);
    for (unsigned f = 0; f < COUNT(FRAME_XS); ++f) {
        POINT moved[LINES_PER_PEN][2];
        for (int i = 0; i < LINES_PER_PEN; ++i)
            for (int end = 0; end < 2; ++end) {
                moved[i][end].x = lines[i][end].x + FRAME_XS[f];
                moved[i][end].y = lines[i][end].y + FRAME_Y;
            }
        PolyPolyline(dc, moved[0], TWO_POINTS, LINES_PER_PEN);
    }
    SelectObject(dc, previous);
}

static void paint(HDC dc) {
    grooves(dc, GetStockObject(WHITE_PEN), LIGHT_LINES);
    grooves(dc, GetStockObject(BLACK_PEN), DARK_LINES);
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, heading_font);
    for (unsigned i = 0; i < COUNT(HEADINGS); ++i)
        text(dc, HEADINGS[i].x, HEADINGS[i].y, HEADINGS[i].text);
    SelectObject(dc, label_font);
    for (unsigned i = 0; i < COUNT(GROUPS_AND_ARROWS); ++i)
        text(dc, GROUPS_AND_ARROWS[i].x, GROUPS_AND_ARROWS[i].y, GROUPS_AND_ARROWS[i].text);
    for (unsigned i = 0; i < COUNT(INPUTS); ++i) {
        text(dc, INPUT_CAPTION_X, INPUTS[i].y + CAPTION_DROP, INPUTS[i].caption);
        text(dc, INPUT_UNIT_X, INPUTS[i].y + CAPTION_DROP, INPUTS[i].unit);
    }
    for (unsigned i = 0; i < COUNT(ROWS); ++i) {
        text(dc, ROW_CAPTION_X, ROW_TOP + ROW_STEP * (int)i, ROWS[i].caption);
        text(dc, ROW_UNIT_X, ROW_TOP + ROW_STEP * (int)i, ROWS[i].unit);
    }
    SetTextColor(dc, VALUE_COLOUR);
    for (unsigned i = 0; i < COUNT(ROWS); ++i)
        text(dc, VALUE_X, ROW_TOP + ROW_STEP * (int)i, ROWS[i].value);
}

static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    PAINTSTRUCT ps;
    switch (message) {
    case WM_PAINT:
        paint(BeginPaint(window, &ps));
        EndPaint(window, &ps);
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

static HWND edit(HWND parent, HINSTANCE instance, int x, int y, int width, int limit) {
    HWND field = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", NULL,
                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_NOHIDESEL | ES_AUTOHSCROLL,
                                 x, y, width, FIELD_HEIGHT, parent, (HMENU)1, instance, NULL);
    SendMessageA(field, EM_LIMITTEXT, limit, 0);
    return field;
}

int main(void) {
    /* Elemtrix registers the common controls before its window, as every program may. */
    InitCommonControls();
    HINSTANCE instance = GetModuleHandleA(NULL);
    const WNDCLASSEXA window_class = {
        .cbSize = sizeof window_class,
        .style = CS_DBLCLKS,
        .lpfnWndProc = procedure,
        .hInstance = instance,
        .hIcon = LoadIconA(instance, "elemtrix"),
        .hCursor = LoadCursorA(NULL, IDC_ARROW),
        .hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1),
        .lpszClassName = TITLE,
    };
    if (!RegisterClassExA(&window_class))
        return 1;

    /* Where Elemtrix stands: centred, less half a caption height. */
    const int caption = GetSystemMetrics(SM_CYCAPTION);
    const int height = CLIENT_HEIGHT + caption;
    HWND window = CreateWindowExA(0, TITLE, TITLE, WS_SYSMENU | WS_MINIMIZEBOX,
                                  (GetSystemMetrics(SM_CXSCREEN) - WINDOW_WIDTH) / 2,
                                  (GetSystemMetrics(SM_CYSCREEN) - height - caption) / 2,
                                  WINDOW_WIDTH, height, NULL, NULL, instance, NULL);
    if (!window)
        return 1;

    heading_font = arial(20, 8, FW_LIGHT, 0);
    label_font = arial(16, 6, FW_LIGHT, 0);
    HDC screen = GetDC(window);
    HFONT field_font =
        arial(-MulDiv(FIELD_POINTS, GetDeviceCaps(screen, LOGPIXELSY), POINTS_PER_INCH), 0,
              FW_NORMAL, FF_SWISS);
    ReleaseDC(window, screen);

    /* The name field keeps the system font. */
    edit(window, instance, NAME_FIELD.x, NAME_FIELD.y, NAME_FIELD.width, NAME_FIELD.limit);
    for (unsigned i = 0; i < COUNT(INPUTS); ++i)
        SendMessageA(edit(window, instance, INPUT_X, INPUTS[i].y, INPUTS[i].width, INPUTS[i].limit),
                     WM_SETFONT, (WPARAM)field_font, FALSE);
    for (unsigned i = 0; i < COUNT(BUTTONS); ++i)
        SendMessageA(CreateWindowExA(0, "BUTTON", BUTTONS[i].caption, BUTTON_STYLE, BUTTONS[i].x,
                                     BUTTONS[i].y, BUTTON_WIDTH, BUTTON_HEIGHT, window,
                                     (HMENU)(INT_PTR)BUTTONS[i].id, instance, NULL),
                     WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
    ShowWindow(window, SW_SHOWNORMAL);

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}
