#include "engine/driver_file.h"

#include "engine/driver.h"
#include "base/text_file.h"

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
    // Every line at most as long as the name's, and its CR LF.
    char content[DRIVER_FILE_LINES * (DRIVER_NAME_LIMIT + 2)];
    std::size_t size = 0;
    for (int line = 0; line < DRIVER_FILE_LINES; ++line) {
        const char *text = texts[line];
        // A line holds what its field admits, which is all the reader takes back.
        for (int n = 0; text[n] != '\0' && n < driver_file_line_limit(line); ++n)
            // A line end inside a text would move every later value to another field.
            content[size++] = text[n] == '\r' || text[n] == '\n' ? ' ' : text[n];
        content[size++] = '\r';
        content[size++] = '\n';
    }
    return wt_save_whole_file(path, content, size);
}
