#include "window/about.h"

const char ABOUT_CAPTION[] = "Om Elemtrix";

namespace {

constexpr char ABOUT_TEXT[] = "Elemtrix " ELEMTRIX_VERSION_TEXT "\n\n"
                              "Beräknar Thiele/Small-parametrar för högtalarelement ur "
                              "uppmätta värden eller uppmätta impedanskurvor.";
// The program's icon group, as the window's class has it.
constexpr char ICON_NAME[] = "ELEMTRIX";

} // namespace

void show_about(HWND window) {
    MSGBOXPARAMSA box{};
    box.cbSize = sizeof box;
    box.hwndOwner = window;
    box.hInstance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    box.lpszText = ABOUT_TEXT;
    box.lpszCaption = ABOUT_CAPTION;
    box.dwStyle = MB_OK | MB_USERICON;
    box.lpszIcon = ICON_NAME;
    MessageBoxIndirectA(&box);
}
