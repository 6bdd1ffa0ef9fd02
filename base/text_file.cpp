#include "base/text_file.h"

#include <cstdio>
#include <cstring>

// Binary streams with the line-end mapping done here, so that Windows and POSIX write the same
// bytes and a stray Ctrl-Z does not end a read early.
static void put_text(FILE *f, const char *text) {
    for (const char *p = text; *p; ++p) {
        if (*p == '\n')
            std::fputc('\r', f);
        std::fputc(*p, f);
    }
}

static int close_checked(FILE *f) {
    const bool failed = std::ferror(f) != 0;
    // A full disk often shows only when the buffer is flushed at close.
    const bool close_failed = std::fclose(f) != 0;
    return failed || close_failed ? WT_FILE_STREAM_ERROR : WT_FILE_DONE;
}

int wt_write_text_file(const char *path, const char *text) {
    FILE *f = std::fopen(path, "wb");
    if (!f)
        return WT_FILE_OPEN_FAILED;
    put_text(f, text);
    return close_checked(f);
}

int wt_append_text_file(const char *path, const char *text, int) {
    if (*text == '\0')
        return WT_FILE_DONE;
    FILE *f = std::fopen(path, "r+b"); // fails for a missing file: appending never creates one
    if (!f)
        return WT_FILE_OPEN_FAILED;
    if (std::fseek(f, 0, SEEK_END) != 0) {
        std::fclose(f);
        return WT_FILE_STREAM_ERROR;
    }
    put_text(f, text);
    put_text(f, "\n");
    return close_checked(f);
}

int wt_read_text_file(const char *path, char *dest, std::size_t capacity) {
    FILE *f = std::fopen(path, "rb");
    if (!f)
        return WT_FILE_OPEN_FAILED;
    std::size_t n = std::strlen(dest);
    int result = WT_FILE_END;
    for (;;) {
        int c = std::fgetc(f);
        if (c == EOF) {
            if (std::ferror(f))
                result = WT_FILE_READ_ERROR;
            break;
        }
        if (c == '\r') {
            const int next = std::fgetc(f);
            if (next == '\n')
                c = '\n';
            else if (next != EOF)
                std::ungetc(next, f);
        }
        if (n + 1 >= capacity) {
            result = WT_FILE_DEST_FULL;
            break;
        }
        dest[n++] = static_cast<char>(c);
    }
    dest[n] = '\0';
    std::fclose(f);
    return result;
}
