#include "toolkit/paint.h"

#include "base/number_text.h"
#include "toolkit/top_window.h"

namespace {

constexpr COLORREF WHITE = RGB(255, 255, 255);
constexpr COLORREF BLACK = RGB(0, 0, 0);
constexpr COLORREF TRANSPARENT_BACKGROUND = 0;
constexpr int MAX_EMBOSS_OFFSET = 3;
constexpr int FRAME_LINES_PER_PEN = 5;

// Draws through a device context of the whole client area; BeginPaint and EndPaint only erase
// and validate the update region. Once they have done so in a message, later labels of that
// message skip them: under Wine the pair and even the question whether there is anything to
// validate cost several times the drawing, and a window's paint makes some hundred calls.
// Invalidation from elsewhere meanwhile brings a later paint anyway.
//
// Inside a paint message the drawing is clipped to the region that message is for, taken before
// BeginPaint validates it: smoothed text drawn again over itself grows darker at every repaint,
// so each pixel must be drawn once, after its background was erased. Outside a paint message an
// operation draws at once, wherever it is asked to.
struct PaintBracket {
    HDC dc;
    bool began;
    PAINTSTRUCT paint;
};

struct PaintedMessage {
    HWND window;
    unsigned long serial;
    HRGN clip; // the region being painted; null outside a paint message
};
PaintedMessage painted = {};

void start_message(HWND window, const WtMessage &message) {
    if (painted.clip)
        DeleteObject(painted.clip);
    painted = {window, message.serial, nullptr};
    if (message.message == WM_PAINT) {
        painted.clip = CreateRectRgn(0, 0, 0, 0);
        GetUpdateRgn(window, painted.clip, FALSE);
    }
}

void open_paint(HWND window, PaintBracket &bracket) {
    bracket.dc = GetDC(window);
    const WtMessage message = wt_current_message(window);
    const bool validated =
        message.serial != 0 && window == painted.window && message.serial == painted.serial;
    if (!validated)
        start_message(window, message);
    bracket.began = !validated && GetUpdateRect(window, nullptr, FALSE) != 0;
    if (bracket.began)
        BeginPaint(window, &bracket.paint);
    if (painted.clip)
        SelectClipRgn(bracket.dc, painted.clip);
}

void close_paint(HWND window, PaintBracket &bracket) {
    SelectClipRgn(bracket.dc, nullptr);
    ReleaseDC(window, bracket.dc);
    if (bracket.began)
        EndPaint(window, &bracket.paint);
}

void restore_text_defaults(HDC dc) {
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    SetBkMode(dc, OPAQUE);
}

void draw_label(HDC dc, int x, int y, const char *text, COLORREF colour, HFONT font,
                COLORREF background) {
    SetTextColor(dc, colour);
    SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    if (background != TRANSPARENT_BACKGROUND)
        SetBkColor(dc, background);
    else
        SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, x, y, text, lstrlenA(text));
}

void paint_label(HWND window, int x, int y, const char *text, COLORREF colour, HFONT font,
                 COLORREF background) {
    PaintBracket paint;
    open_paint(window, paint);
    HDC dc = paint.dc;
    draw_label(dc, x, y, text, colour, font, background);
    restore_text_defaults(dc);
    close_paint(window, paint);
}

} // namespace

int wt_paint_frame(HWND window, int x, int y, int width, int height, const char *style, int inset) {
    const int w = width, h = height, d = inset;
    const int s = x + d + w / 20;
    // Inner top, outer bottom, outer right, inner left; then outer top, inner bottom, inner
    // right, outer left. The top edges meet at s.
    const POINT lines[2 * FRAME_LINES_PER_PEN][2] = {
        {{x + 1 + d, y + 1 + d}, {s, y + 1 + d}},
        {{s, y + 1 + d}, {x + w - d, y + 1 + d}},
        {{x, y + h + 1}, {x + w + 1, y + h + 1}},
        {{x + w, y}, {x + w, y + h + 1}},
        {{x + 1 + d, y + 1 + d}, {x + 1 + d, y + h - d}},
        {{x, y}, {s, y}},
        {{s, y}, {x + w, y}},
        {{x + 1 + d, y + h - d}, {x + w - d, y + h - d}},
        {{x + w - 1 - d, y + 1 + d}, {x + w - 1 - d, y + h - d}},
        {{x, y}, {x, y + h + 1}},
    };
    const bool groove = lstrcmpA(style, "LOWER") == 0;
    const COLORREF pens[2] = {groove ? WHITE : BLACK, groove ? BLACK : WHITE};

    PaintBracket paint;
    open_paint(window, paint);
    HDC dc = paint.dc;
    for (int pass = 0; pass < 2; ++pass) {
        HPEN pen = CreatePen(PS_SOLID, 1, pens[pass]);
        HGDIOBJ previous = SelectObject(dc, pen);
        for (int i = 0; i < FRAME_LINES_PER_PEN; ++i) {
            const POINT *line = lines[pass * FRAME_LINES_PER_PEN + i];
            MoveToEx(dc, line[0].x, line[0].y, nullptr);
            LineTo(dc, line[1].x, line[1].y);
        }
        SelectObject(dc, previous);
        DeleteObject(pen);
    }
    close_paint(window, paint);
    return 0;
}

int wt_paint_text(HWND window, int x, int y, const char *text, COLORREF colour, HFONT font,
                  COLORREF background) {
    paint_label(window, x, y, text, colour, font, background);
    return 0;
}

int wt_paint_number(HWND window, int x, int y, double value, int precision, COLORREF colour,
                    HFONT font, COLORREF background) {
    char text[WT_NUMBER_TEXT_SIZE];
    paint_label(window, x, y, wt_format_number(text, value, precision), colour, font, background);
    return 0;
}

int wt_paint_embossed_text(HWND window, int x, int y, int offset, const char *text, COLORREF colour,
                           HFONT font, COLORREF background) {
    if (offset > MAX_EMBOSS_OFFSET)
        offset = MAX_EMBOSS_OFFSET;
    if (offset < -MAX_EMBOSS_OFFSET)
        offset = -MAX_EMBOSS_OFFSET;
    const int length = lstrlenA(text);

    PaintBracket paint;
    open_paint(window, paint);
    HDC dc = paint.dc;
    if (background != TRANSPARENT_BACKGROUND)
        SetBkColor(dc, background);
    SetTextColor(dc, WHITE);
    if (font)
        SelectObject(dc, font);
    // Both passes are transparent, so the background colour shows nowhere.
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, x, y, text, length);
    SetTextColor(dc, colour);
    TextOutA(dc, x + offset, y + offset, text, length);
    restore_text_defaults(dc);
    close_paint(window, paint);
    return 0;
}
