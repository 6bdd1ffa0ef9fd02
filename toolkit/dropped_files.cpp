#include "toolkit/dropped_files.h"

namespace {

using QueryFunction = UINT(WINAPI *)(HDROP, UINT, LPSTR, UINT);
using FinishFunction = void(WINAPI *)(HDROP);

// Asks for every file at once.
constexpr UINT ALL_FILES = 0xFFFFFFFF;

struct Shell {
    QueryFunction query;
    FinishFunction finish;
};

// Drops arrive on the one GUI thread only, so a plain check does.
const Shell &shell() {
    static Shell functions = {};
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        if (const HMODULE library = LoadLibraryA("shell32.dll")) {
            functions.query = reinterpret_cast<QueryFunction>(
                reinterpret_cast<void *>(GetProcAddress(library, "DragQueryFileA")));
            functions.finish = reinterpret_cast<FinishFunction>(
                reinterpret_cast<void *>(GetProcAddress(library, "DragFinish")));
        }
    }
    return functions;
}

} // namespace

int wt_dropped_file_count(HDROP drop) {
    return shell().query ? static_cast<int>(shell().query(drop, ALL_FILES, nullptr, 0)) : 0;
}

bool wt_dropped_file(HDROP drop, int index, char (&path)[WT_PATH_SIZE]) {
    path[0] = '\0';
    return shell().query && index >= 0 &&
           shell().query(drop, static_cast<UINT>(index), path, WT_PATH_SIZE) > 0;
}

void wt_finish_drop(HDROP drop) {
    if (shell().finish)
        shell().finish(drop);
}
