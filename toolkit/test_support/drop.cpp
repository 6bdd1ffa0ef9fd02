#include "toolkit/test_support/drop.h"

#include <shlobj.h>

#include <cstring>

// The names follow a DROPFILES header, each ended by a NUL, with one more NUL after the last.
HDROP make_drop(const std::vector<std::string> &paths) {
    std::string names;
    for (const std::string &path : paths)
        names += path + '\0';
    names += '\0';
    const HGLOBAL memory =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size());
    auto *header = static_cast<DROPFILES *>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    std::memcpy(reinterpret_cast<char *>(header) + sizeof(DROPFILES), names.data(), names.size());
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}
