#include "toolkit/dropped_files.h"

#include "toolkit/test_support/drop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(DroppedFiles, EachPathInTheOrderDropped) {
    const HDROP drop = make_drop({"C:\\a\\free.zma", "C:\\b c\\added.zma", "D:\\x.spk"});
    ASSERT_EQ(wt_dropped_file_count(drop), 3);
    char path[WT_PATH_SIZE];
    ASSERT_TRUE(wt_dropped_file(drop, 1, path));
    EXPECT_STREQ(path, "C:\\b c\\added.zma");
    ASSERT_TRUE(wt_dropped_file(drop, 2, path));
    EXPECT_STREQ(path, "D:\\x.spk");
    EXPECT_FALSE(wt_dropped_file(drop, 3, path));
    EXPECT_STREQ(path, "");
    EXPECT_FALSE(wt_dropped_file(drop, -1, path));
    wt_finish_drop(drop);
}

TEST(DroppedFiles, APathTooLongIsCutShortInsideTheBuffer) {
    const std::string long_path = "C:\\" + std::string(400, 'x');
    const HDROP drop = make_drop({long_path});
    char path[WT_PATH_SIZE + 1];
    path[WT_PATH_SIZE] = '#';
    ASSERT_TRUE(wt_dropped_file(drop, 0, reinterpret_cast<char(&)[WT_PATH_SIZE]>(path)));
    EXPECT_EQ(std::strlen(path), static_cast<size_t>(WT_PATH_SIZE - 1));
    EXPECT_EQ(path[WT_PATH_SIZE], '#');
    wt_finish_drop(drop);
}

} // namespace
