// Elemtrix: starts the calculator window and runs its messages until it is closed.
#include "toolkit/dialog_window.h"
#include "window/calculator.h"
#include "window/file_commands.h"

#include <windows.h>

constexpr int EXIT_NO_WINDOW = 1;

// A file named on the command line (a .spk double-clicked in Explorer) opens as "Öppna" would
// open it, once the window stands.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    const HWND window = create_calculator(instance);
    // Without a window nothing could ever end the loop.
    if (!window)
        return EXIT_NO_WINDOW;
    open_command_line(window, command_line);
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
