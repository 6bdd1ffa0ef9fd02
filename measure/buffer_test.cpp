#include "measure/buffer.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(Buffer, GrowsKeepsItsValuesAndMovesThem) {
    Buffer<int> numbers;
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(numbers.push_back(i));
    EXPECT_EQ(numbers.size(), 1000u);
    EXPECT_EQ(numbers.front(), 0);
    EXPECT_EQ(numbers.back(), 999);

    numbers.erase_front(990);
    ASSERT_EQ(numbers.size(), 10u);
    EXPECT_EQ(numbers[0], 990);

    Buffer<int> moved = std::move(numbers);
    EXPECT_TRUE(numbers.empty());
    EXPECT_EQ(moved[9], 999);
    numbers = std::move(moved);
    EXPECT_EQ(numbers.size(), 10u);
}

// A size that cannot be had is a false, and the values stay as they were.
TEST(Buffer, RefusesWhatMemoryCannotHold) {
    Buffer<double> values;
    ASSERT_TRUE(values.push_back(1.5));
    EXPECT_FALSE(values.resize(static_cast<std::size_t>(-1) / 4));
    EXPECT_FALSE(values.reserve(static_cast<std::size_t>(-1)));
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0], 1.5);
}

} // namespace
