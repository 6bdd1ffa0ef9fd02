// Whole-file text operations. Lines end in CR LF on disk and in LF in memory, on every platform.
// The safe save has one implementation per system: base/whole_file_posix.cpp and, in the Win32
// layer, toolkit/whole_file_win32.cpp.
#pragma once

#include <cstddef>

// Result codes.
constexpr int WT_FILE_DONE = 0;
constexpr int WT_FILE_OPEN_FAILED = 2;
constexpr int WT_FILE_STREAM_ERROR = 3; // writers: the stream reported an error
constexpr int WT_FILE_END = 3;          // reader: the whole file was read
constexpr int WT_FILE_READ_ERROR = 4;   // reader: the stream failed before the end
constexpr int WT_FILE_DEST_FULL = 5;    // reader: the destination filled before the end

// Replaces the file's contents with the text; no line end is added.
int wt_write_text_file(const char *path, const char *text);

// Adds the text and a line end to an existing file; never creates one. An empty text adds
// nothing. The last argument is kept for callers that pass a line kind; it is not used.
int wt_append_text_file(const char *path, const char *text, int unused);

// Appends the file's text to the NUL-terminated destination, which holds capacity bytes in all.
// Stops when it is full: the destination always stays terminated.
int wt_read_text_file(const char *path, char *dest, std::size_t capacity);

// Writes the bytes as they are into a new file beside path and puts it in place of path only
// once all of it is on disk, so a failed save leaves the earlier file as it was and nothing
// else behind. A symbolic link is followed and stays; the replaced file keeps its attributes,
// access rights or permission bits. A read-only file is not replaced. True when done.
bool wt_save_whole_file(const char *path, const char *bytes, std::size_t size);
