#include "app/calc/calc_box.h"

#include <gtest/gtest.h>

namespace {

TEST(Box, Placeholder) {}

} // namespace
