// The safe save on Windows, for the text-file helpers that every layer shares.
#include "base/text_file.h"

#include <windows.h>

#include <cstring>

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
