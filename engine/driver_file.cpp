#include "engine/driver_file.h"

#include "engine/driver.h"
#include "toolkit/text_file.h"

#include <cstdio>
#include <string>

int driver_file_line_limit(int line) {
    return line == 0 ? DRIVER_NAME_LIMIT : INPUT_DESCRIPTORS[line - 1].text_limit;
}

DriverFileLines split_driver_file(const char *text) {
    DriverFileLines lines{};
    int line = 0;
    int length = 0;
    int scanned = 0;
    for (const char *p = text; *p && scanned < DRIVER_FILE_SCAN_LIMIT; ++p, ++scanned) {
        if (p[0] == '\r' && p[1] == '\n')
            ++p; // the pair counts as one LF
        if (*p == '\n') {
            ++line;
            length = 0;
            if (line == DRIVER_FILE_LINES)
                break;
            continue;
        }
        if (length < driver_file_line_limit(line))
            lines.text[line][length++] = *p;
    }
    // A last line without its own line end still counts when it has a character.
    lines.count = line + (line < DRIVER_FILE_LINES && length > 0 ? 1 : 0);
    return lines;
}

bool read_driver_file(const char *path, DriverFileLines &lines) {
    // Only the scanned window is read, whatever the size of the file.
    char text[DRIVER_FILE_SCAN_LIMIT + 1] = "";
    const int result = wt_read_text_file(path, text, sizeof text);
    if (result != WT_FILE_END && result != WT_FILE_DEST_FULL) {
        lines = DriverFileLines{};
        return false;
    }
    lines = split_driver_file(text);
    return true;
}

bool write_driver_file(const char *path, const char *const texts[DRIVER_FILE_LINES]) {
    std::string content;
    for (int i = 0; i < DRIVER_FILE_LINES; ++i) {
        content += texts[i];
        content += '\n';
    }
    const std::string temporary = std::string(path) + ".elemtrix-new";
    if (wt_write_text_file(temporary.c_str(), content.c_str()) == WT_FILE_DONE &&
        wt_replace_file(temporary.c_str(), path))
        return true;
    std::remove(temporary.c_str());
    return false;
}
