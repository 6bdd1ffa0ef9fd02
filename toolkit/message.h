// Message box, prefix copy and the Windows version report.
#pragma once

#include <windows.h>

// An OK box; mode "D" empties the caller's text after the box is closed. Note the order:
// caption before text.
int wt_message_box(HWND owner, const char *caption, char *text, const char *mode);

// A box of a failure that a library explains, with the exclamation mark: the lead, Windows-1252,
// then the library's detail, UTF-8 as its Swedish messages are; cut short if it is very long.
void wt_error_box(HWND owner, const char *caption, const char *lead, const char *detail_utf8);

// The first n characters of source (all of them for n <= 0); returns dest.
char *wt_copy_left(char *dest, const char *source, int n);

// The version code of the system; "SHOW" also shows it in a box.
int wt_os_info(const char *keyword);

// The version code of a version record, and the major.minor number its report shows.
int wt_os_version_code(const OSVERSIONINFOA &info, int *shown_major, int *shown_minor);

// Writes the report that "SHOW" displays for a version record; returns the version code.
constexpr int WT_OS_REPORT_SIZE = 1024;
int wt_os_report(const OSVERSIONINFOA &info, char (&text)[WT_OS_REPORT_SIZE]);
