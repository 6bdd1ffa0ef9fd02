#include "toolkit/message.h"
#include "toolkit/test_support/box_catcher.h"
#include "toolkit/top_window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(MessageBox, ShowsCaptionAndTextWithOneOkButton) {
    HWND owner =
        wt_create_window(GetModuleHandleA(nullptr), "message_test owner", 0, 0, 200, 100, "CLO");
    char text[] = "Felaktigt v\xE4rde i f\xE4ltet Fs";
    start_catching_boxes();
    EXPECT_EQ(wt_message_box(owner, "INMATNINGSFEL", text, "N"), 0);
    const std::vector<CaughtBox> boxes = stop_catching_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, owner);
    EXPECT_EQ(boxes[0].caption, "INMATNINGSFEL");
    EXPECT_EQ(boxes[0].text, "Felaktigt v\xE4rde i f\xE4ltet Fs");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
    EXPECT_STREQ(text, "Felaktigt v\xE4rde i f\xE4ltet Fs");
    DestroyWindow(owner);
}

// A library's detail is UTF-8; the box shows it in Windows-1252 after the lead.
TEST(MessageBox, AnErrorBoxPutsTheLibrarysDetailAfterItsLead) {
    start_catching_boxes();
    wt_error_box(nullptr, "M\xC4TFEL", "M\xE4tningen kan inte anv\xE4ndas:\n",
                 "ing\xC3\xA5ngarna \xC3\xA4r f\xC3\xB6rv\xC3\xA4xlade");
    const std::vector<CaughtBox> boxes = stop_catching_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "M\xC4TFEL");
    EXPECT_EQ(boxes[0].text,
              "M\xE4tningen kan inte anv\xE4ndas:\ning\xE5ngarna \xE4r f\xF6rv\xE4xlade");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
}

TEST(MessageBox, ModeDEmptiesTheTextAfterTheBox) {
    const struct {
        const char *mode;
        bool emptied;
    } cases[] = {{"D", true}, {"N", false}, {"d", false}, {"DD", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        char text[] = "Rad ett\nRad tv\xE5";
        start_catching_boxes();
        wt_message_box(nullptr, "Rubrik", text, c.mode);
        const std::vector<CaughtBox> boxes = stop_catching_boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Rad ett\nRad tv\xE5");
        EXPECT_EQ(boxes[0].owner, nullptr);
        EXPECT_EQ(text[0] == '\0', c.emptied);
    }
}

TEST(BoxCatcher, ReportsButtonsAndIconAndAnswersOtherBoxes) {
    start_catching_boxes();
    const int answer = MessageBoxA(nullptr, "Spara?", "Fr\xE5ga", MB_YESNO | MB_ICONQUESTION);
    const std::vector<CaughtBox> boxes = stop_catching_boxes();
    EXPECT_EQ(answer, IDYES);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
}

TEST(CopyLeft, CopiesAPrefix) {
    const struct {
        const char *source;
        int n;
        const char *copy;
    } cases[] = {
        {"abcdef", 3, "abc"}, {"abcd", 10, "abcd"}, {"abcd", 0, "abcd"},
        {"abcd", -1, "abcd"}, {"", 2, ""},          {"\xE5\xE4\xF6x", 3, "\xE5\xE4\xF6"},
    };
    for (const auto &c : cases) {
        char dest[16];
        std::memset(dest, 'x', sizeof dest);
        EXPECT_EQ(wt_copy_left(dest, c.source, c.n), dest);
        EXPECT_STREQ(dest, c.copy) << c.source << " " << c.n;
    }
}

OSVERSIONINFOA version(DWORD platform, DWORD major, DWORD minor, DWORD build, const char *csd) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwPlatformId = platform;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.dwBuildNumber = build;
    std::strcpy(info.szCSDVersion, csd);
    return info;
}

TEST(OsReport, ClassifiesAndFormatsEveryVersion) {
    const struct {
        OSVERSIONINFOA info;
        int code, shown_major, shown_minor;
        const char *report;
    } cases[] = {
        {version(1, 4, 0, 0x040003B6, ""), 95, 0, 0,
         "OS          =   Windows 95\nBuild       =  950\nUpdate   =  First Edition"},
        {version(1, 4, 0, 0x04000457, " C"), 95, 0, 0,
         "OS          =   Windows 95\nBuild       =  1111\nUpdate   =  OSR2"},
        {version(1, 4, 10, 0x040A08AE, " A"), 98, 0, 0,
         "OS          =   Windows 98\nBuild       =  2222\nUpdate   =  Second Edition"},
        {version(1, 4, 10, 1998, " B"), 98, 0, 0,
         "OS          =   Windows 98\nBuild       =  1998\nUpdate   =  First Edition"},
        {version(1, 4, 90, 3000, ""), 99, 0, 0,
         "OS          =   Windows 99\nBuild       =  3000\nUpdate   =  First Edition"},
        {version(1, 4, 3, 0x00010002, ""), 0, 4, 3,
         "OS          =  Windows 4.3  NT Technology\nBuild       =  2\nUpdate   =  First Edition"},
        {version(2, 3, 51, 1057, "Service Pack 5"), 351, 3, 51,
         "OS          =  Windows 3.51  NT Technology\nBuild       =  1057\nUpdate   =  Service "
         "Pack 5"},
        {version(2, 3, 10, 528, ""), 351, 3, 51,
         "OS          =  Windows 3.51  NT Technology\nBuild       =  528\nUpdate   =  "},
        {version(2, 4, 0, 1381, "Service Pack 6"), 400, 4, 0,
         "OS          =  Windows 4.0  NT Technology\nBuild       =  1381\nUpdate   =  Service "
         "Pack 6"},
        {version(2, 5, 0, 2195, "Service Pack 4"), 500, 5, 0,
         "OS          =  Windows 2000 5.0  NT Technology\nBuild       =  2195\nUpdate   =  "
         "Service Pack 4"},
        {version(2, 5, 1, 2600, "Service Pack 3"), 510, 5, 10,
         "OS          =  Windows XP 5.10  NT Technology\nBuild       =  2600\nUpdate   =  "
         "Service Pack 3"},
        {version(2, 5, 2, 3790, "Service Pack 2"), 520, 5, 20,
         "OS          =  Windows .NET Server 2003 family 5.20  NT Technology\nBuild       =  "
         "3790\nUpdate   =  Service Pack 2"},
        {version(2, 6, 1, 7601, "Service Pack 1"), 0, 6, 1,
         "OS          =  Windows 6.1  NT Technology\nBuild       =  7601\nUpdate   =  Service "
         "Pack 1"},
        {version(2, 5, 3, 0x00020001, ""), 0, 5, 3,
         "OS          =  Windows 5.3  NT Technology\nBuild       =  131073\nUpdate   =  "},
        {version(3, 10, 0, 19045, "x"), -1, 0, 0,
         "OS          =  Windows Undknown 0.0 undknown Technology\nBuild       =  19045\nUpdate "
         "  =  x"},
        {version(0, 3, 11, 7, ""), -1, 0, 0,
         "OS          =  Windows Undknown 0.0 undknown Technology\nBuild       =  7\nUpdate   =  "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.report);
        int major = -7, minor = -7;
        EXPECT_EQ(wt_os_version_code(c.info, &major, &minor), c.code);
        EXPECT_EQ(major, c.shown_major);
        EXPECT_EQ(minor, c.shown_minor);
        char report[WT_OS_REPORT_SIZE];
        EXPECT_EQ(wt_os_report(c.info, report), c.code);
        EXPECT_STREQ(report, c.report);
    }
}

TEST(OsReport, ShowsTheRealSystemOnlyForShow) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    char report[WT_OS_REPORT_SIZE];
    const int code = wt_os_report(info, report);

    start_catching_boxes();
    EXPECT_EQ(wt_os_info("show"), code);
    EXPECT_EQ(wt_os_info(""), code);
    EXPECT_TRUE(stop_catching_boxes().empty());

    start_catching_boxes();
    EXPECT_EQ(wt_os_info("SHOW"), code);
    const std::vector<CaughtBox> boxes = stop_catching_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].caption, "OS version info");
    EXPECT_EQ(boxes[0].text, report);
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
}

} // namespace
