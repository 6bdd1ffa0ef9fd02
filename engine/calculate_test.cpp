#include "engine/calculate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

TEST(Calculate, FindingsInMessageBoxOrderThenResults) {
    const DriverFileLines lines =
        split_driver_file("n\n12,5\nabc\n40\n500\n-5\n3\n0.45\n0.39\n25\n");
    DriverInputs in{};
    set_input_texts(in, lines);
    DriverResults r{};
    const std::vector<InputError> found = calculate(in, r);
    std::vector<std::string> got;
    for (const InputError &e : found)
        got.push_back(input_error_message(e));
    EXPECT_EQ(got, (std::vector<std::string>{
                       "Re: Anv\xE4nd endast siffror!", "Re: Anv\xE4nd endast siffror!",
                       "Fs: Anv\xE4nd punkt som komma!", "Re: Anv\xE4nd endast siffror!",
                       "Re: Ingen inmatning!", "Vas: Ingen inmatning!",
                       "Vikt ad.massa: Anv\xE4nd Ingen inmatning!"}));
    EXPECT_EQ(in[InputId::Fs].value, 12.0);
    EXPECT_EQ(r.Ro, INFINITY); // Re is 0: the calculation ran regardless
}

TEST(Calculate, MissingLinesGiveEmptyTexts) {
    DriverInputs in{};
    std::strcpy(in[InputId::Qts].text, "old");
    set_input_texts(in, split_driver_file("n\n30\n"));
    EXPECT_STREQ(in[InputId::Fs].text, "30");
    EXPECT_STREQ(in[InputId::Qts].text, "");
}

} // namespace
