#include "toolkit/text_file.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

#ifdef _WIN32

namespace {

constexpr char TEMPORARY_PREFIX[] = "elx";

constexpr DWORD KEPT_ATTRIBUTES = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The whole path of the file that a symbolic link or junction leads to, else of the path itself.
// Whole, because some implementations of ReplaceFileA fail on a relative one.
void final_path(const char *path, char (&target)[MAX_PATH]) {
    const DWORD full = GetFullPathNameA(path, MAX_PATH, target, nullptr);
    if (full == 0 || full >= MAX_PATH)
        lstrcpynA(target, path, MAX_PATH);
    const DWORD attributes = GetFileAttributesA(target);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    HANDLE file = CreateFileA(target, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    char resolved[MAX_PATH];
    const DWORD length = GetFinalPathNameByHandleA(file, resolved, MAX_PATH, FILE_NAME_NORMALIZED);
    CloseHandle(file);
    const char LONG_PREFIX[] = "\\\\?\\";
    const DWORD prefix = sizeof LONG_PREFIX - 1;
    // Only a plain drive path: "\\?\UNC\..." and volume names are left to the link itself.
    if (length > prefix && length < MAX_PATH && std::strncmp(resolved, LONG_PREFIX, prefix) == 0 &&
        resolved[prefix + 1] == ':')
        lstrcpynA(target, resolved + prefix, MAX_PATH);
}

void folder_of(const char *path, char (&folder)[MAX_PATH]) {
    lstrcpynA(folder, path, MAX_PATH);
    char *end = nullptr;
    for (char *p = folder; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':')
            end = p;
    if (!end)
        lstrcpyA(folder, ".");
    else
        end[*end == ':' ? 1 : 0] = '\0';
    if (folder[0] == '\0') // the root of the current drive
        lstrcpyA(folder, "\\");
}

bool write_flushed(const char *path, const char *bytes, std::size_t size) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written = true;
    for (std::size_t done = 0; written && done < size;) {
        DWORD part = 0;
        written = WriteFile(file, bytes + done, static_cast<DWORD>(size - done), &part, nullptr) &&
                  part > 0;
        done += part;
    }
    written = written && FlushFileBuffers(file);
    return CloseHandle(file) && written;
}

} // namespace

bool wt_save_whole_file(const char *path, const char *bytes, std::size_t size) {
    char target[MAX_PATH], folder[MAX_PATH], temporary[MAX_PATH];
    final_path(path, target);
    const DWORD attributes = GetFileAttributesA(target);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    folder_of(target, folder);
    if (GetTempFileNameA(folder, TEMPORARY_PREFIX, 0, temporary) == 0)
        return false;
    // ReplaceFileA keeps the old file's attributes and access rights; a new file just moves.
    bool saved = write_flushed(temporary, bytes, size);
    if (saved && exists) {
        saved = ReplaceFileA(target, temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                             nullptr);
        // Not every implementation keeps them (Wine, some network shares).
        const DWORD kept = attributes & KEPT_ATTRIBUTES;
        if (saved)
            SetFileAttributesA(target, kept ? kept : FILE_ATTRIBUTE_NORMAL);
    } else if (saved) {
        saved = MoveFileExA(temporary, target, MOVEFILE_WRITE_THROUGH);
    }
    if (!saved)
        DeleteFileA(temporary);
    return saved;
}

#else

namespace {

constexpr char TEMPORARY_NAME[] = "/.elemtrix-XXXXXX";
constexpr int MAX_LINKS = 40; // as the kernel allows before ELOOP

// The file that a chain of symbolic links leads to, also when it does not exist yet.
bool final_path(const char *path, std::string &target) {
    target = path;
    for (int links = 0; links < MAX_LINKS; ++links) {
        struct stat s;
        if (lstat(target.c_str(), &s) != 0 || !S_ISLNK(s.st_mode))
            return true;
        std::string next(static_cast<std::size_t>(s.st_size) + 1, '\0');
        const ssize_t length = readlink(target.c_str(), &next[0], next.size());
        if (length < 0 || static_cast<std::size_t>(length) >= next.size())
            return false;
        next.resize(static_cast<std::size_t>(length));
        const std::size_t slash = target.rfind('/');
        if (next[0] != '/' && slash != std::string::npos)
            next = target.substr(0, slash + 1) + next;
        target = next;
    }
    return false;
}

std::string folder_of(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool write_all(int fd, const char *bytes, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t part = write(fd, bytes + done, size - done);
        if (part < 0 && errno == EINTR)
            continue;
        if (part <= 0)
            return false;
        done += static_cast<std::size_t>(part);
    }
    return true;
}

mode_t new_file_mode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// The rename is on disk only once the folder is.
void sync_folder(const std::string &folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace

bool wt_save_whole_file(const char *path, const char *bytes, std::size_t size) {
    std::string target;
    if (!final_path(path, target))
        return false;
    struct stat old;
    const bool exists = stat(target.c_str(), &old) == 0;
    // Root may write anything: a file without write bits counts as read-only all the same.
    if (exists && (!S_ISREG(old.st_mode) || !(old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) ||
                   access(target.c_str(), W_OK) != 0))
        return false;
    const std::string folder = folder_of(target);
    std::string temporary = folder + TEMPORARY_NAME;
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0)
        return false;
    bool saved = fchmod(fd, exists ? old.st_mode & 07777 : new_file_mode()) == 0 &&
                 write_all(fd, bytes, size) && fsync(fd) == 0;
    saved = close(fd) == 0 && saved;
    saved = saved && rename(temporary.c_str(), target.c_str()) == 0;
    if (saved)
        sync_folder(folder);
    else
        unlink(temporary.c_str());
    return saved;
}

#endif
