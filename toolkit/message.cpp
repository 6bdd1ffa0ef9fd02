#include "toolkit/message.h"

#include "base/charset.h"

#include <cstring>

namespace {

// Room for a library's longest message after its lead.
constexpr int ERROR_BOX_SIZE = 4096;

constexpr int ANY = -1;
// A shown number taken from the record itself.
constexpr int REAL = -2;

struct VersionRow {
    DWORD platform;
    int major;
    int minor;
    int code;
    int shown_major;
    int shown_minor;
};

const VersionRow VERSIONS[] = {
    {VER_PLATFORM_WIN32_WINDOWS, ANY, 0, 95, 0, 0},
    {VER_PLATFORM_WIN32_WINDOWS, ANY, 10, 98, 0, 0},
    {VER_PLATFORM_WIN32_WINDOWS, ANY, 90, 99, 0, 0},
    {VER_PLATFORM_WIN32_WINDOWS, ANY, ANY, 0, REAL, REAL},
    {VER_PLATFORM_WIN32_NT, 3, ANY, 351, 3, 51},
    {VER_PLATFORM_WIN32_NT, 4, ANY, 400, 4, 0},
    {VER_PLATFORM_WIN32_NT, 5, 0, 500, 5, 0},
    {VER_PLATFORM_WIN32_NT, 5, 1, 510, 5, 10},
    {VER_PLATFORM_WIN32_NT, 5, 2, 520, 5, 20},
    {VER_PLATFORM_WIN32_NT, ANY, ANY, 0, REAL, REAL},
};
constexpr int UNKNOWN_PLATFORM_CODE = -1;

struct UpdateName {
    const char *csd_version;
    const char *name;
};

const UpdateName WINDOWS_UPDATES[] = {{" C", "OSR2"}, {" A", "Second Edition"}};
const char *const FIRST_EDITION = "First Edition";

struct ReportFormat {
    int code;
    bool shows_code; // "Windows <code>" rather than a major.minor version
    const char *format;
};

const ReportFormat REPORT_FORMATS[] = {
    {95, true, "OS          =   Windows %i\nBuild       =  %i\nUpdate   =  %s"},
    {98, true, "OS          =   Windows %i\nBuild       =  %i\nUpdate   =  %s"},
    {99, true, "OS          =   Windows %i\nBuild       =  %i\nUpdate   =  %s"},
    {0, false, "OS          =  Windows %i.%i  NT Technology\nBuild       =  %i\nUpdate   =  %s"},
    {351, false, "OS          =  Windows %i.%i  NT Technology\nBuild       =  %i\nUpdate   =  %s"},
    {400, false, "OS          =  Windows %i.%i  NT Technology\nBuild       =  %i\nUpdate   =  %s"},
    {500, false,
     "OS          =  Windows 2000 %i.%i  NT Technology\nBuild       =  %i\nUpdate   =  %s"},
    {510, false,
     "OS          =  Windows XP %i.%i  NT Technology\nBuild       =  %i\nUpdate   =  %s"},
    {520, false,
     "OS          =  Windows .NET Server 2003 family %i.%i  NT Technology\nBuild       =  "
     "%i\nUpdate   =  %s"},
    {UNKNOWN_PLATFORM_CODE, false,
     "OS          =  Windows Undknown %i.%i undknown Technology\nBuild       =  %i\nUpdate   "
     "=  %s"},
};

bool matches(int wanted, DWORD actual) {
    return wanted == ANY || static_cast<DWORD>(wanted) == actual;
}

int shown(int row_value, DWORD real) {
    return row_value == REAL ? static_cast<int>(real) : row_value;
}

} // namespace

int wt_message_box(HWND owner, const char *caption, char *text, const char *mode) {
    MessageBoxA(owner, text, caption, MB_OK);
    if (lstrcmpA(mode, "D") == 0)
        text[0] = '\0';
    return 0;
}

void wt_error_box(HWND owner, const char *caption, const char *lead, const char *detail_utf8) {
    char text[ERROR_BOX_SIZE];
    lstrcpynA(text, lead, ERROR_BOX_SIZE);
    const std::size_t length = std::strlen(text);
    utf8_to_cp1252(detail_utf8, text + length, ERROR_BOX_SIZE - length);
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONEXCLAMATION);
}

char *wt_copy_left(char *dest, const char *source, int n) {
    dest[0] = '\0';
    if (n <= 0) {
        lstrcpyA(dest, source);
        return dest;
    }
    for (int i = 0; i < n && source[i] != '\0'; ++i) {
        const char one[2] = {source[i], '\0'};
        lstrcatA(dest, one);
    }
    return dest;
}

int wt_os_version_code(const OSVERSIONINFOA &info, int *shown_major, int *shown_minor) {
    for (const VersionRow &row : VERSIONS) {
        if (row.platform == info.dwPlatformId && matches(row.major, info.dwMajorVersion) &&
            matches(row.minor, info.dwMinorVersion)) {
            *shown_major = shown(row.shown_major, info.dwMajorVersion);
            *shown_minor = shown(row.shown_minor, info.dwMinorVersion);
            return row.code;
        }
    }
    *shown_major = 0;
    *shown_minor = 0;
    return UNKNOWN_PLATFORM_CODE;
}

int wt_os_report(const OSVERSIONINFOA &info, char (&text)[WT_OS_REPORT_SIZE]) {
    int major, minor;
    const int code = wt_os_version_code(info, &major, &minor);

    const bool windows = info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    const int build = static_cast<int>(windows ? LOWORD(info.dwBuildNumber) : info.dwBuildNumber);
    const char *update = info.szCSDVersion;
    if (windows) {
        update = FIRST_EDITION;
        for (const UpdateName &row : WINDOWS_UPDATES)
            if (lstrcmpA(info.szCSDVersion, row.csd_version) == 0)
                update = row.name;
    }

    for (const ReportFormat &row : REPORT_FORMATS) {
        if (row.code != code)
            continue;
        if (row.shows_code)
            wsprintfA(text, row.format, code, build, update);
        else
            wsprintfA(text, row.format, major, minor, build, update);
    }
    return code;
}

int wt_os_info(const char *keyword) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    char text[WT_OS_REPORT_SIZE];
    const int code = wt_os_report(info, text);
    if (std::strcmp(keyword, "SHOW") == 0)
        MessageBoxA(nullptr, text, "OS version info", MB_OK);
    return code;
}
