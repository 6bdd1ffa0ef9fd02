// Elemtrix: starts the calculator window and runs its messages until it is closed.
#include "toolkit/dialog_window.h"
#include "window/calculator.h"

#include <windows.h>

constexpr int EXIT_NO_WINDOW = 1;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Without a window nothing could ever end the loop.
    if (!create_calculator(instance))
        return EXIT_NO_WINDOW;
    MSG message;
    // GetMessageA gives -1 on failure: that ends the loop rather than spinning on it.
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Only the dialogs take the dialog keys; the calculator keeps its own.
        if (wt_dialog_message(&message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
