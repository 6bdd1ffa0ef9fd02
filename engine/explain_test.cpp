#include "engine/explain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

DriverInputs worked() {
    DriverInputs in{};
    const char *texts[INPUT_COUNT] = {"30", "6",    "40",   "500", "50",
                                      "3",  "0.45", "0.39", "25",  "20"};
    for (int i = 0; i < INPUT_COUNT; ++i)
        std::strcpy(in.entry[i].text, texts[i]);
    convert_inputs(in);
    return in;
}

TEST(Explain, EveryStepInOrderWithFormulaNumbersAndResult) {
    const DriverInputs in = worked();
    const std::vector<std::string> lines = explain_calculation(in, compute_results(in));
    const std::vector<std::string> expected = {
        "Ro = Zmax / Re = 40 / 6 = 6.67 ohm",
        "R1 = \xE2\x88\x9ARo = \xE2\x88\x9A"
        "6.66667 = 2.58 ohm",
        "ZF1ZF2 = Re\xC2\xB7R1 = 6\xC2\xB7"
        "2.58199 = 15.49 ohm",
        "a = \xE2\x88\x9A(Sd / 3.14) = \xE2\x88\x9A(500 / 3.14) = 12.6189 cm",
        "Mmr = 0.0031993\xC2\xB7"
        "a\xC2\xB7"
        "a\xC2\xB7"
        "a = 0.0031993\xC2\xB7"
        "12.6189\xC2\xB7"
        "12.6189\xC2\xB7"
        "12.6189 = 6.43 Gram",
        "q = Fs / FsAdded = 30 / 25 = 1.2",
        "Mms = AddedMass / (q\xC2\xB7q \xE2\x88\x92 1) = 20 / (1.2\xC2\xB7"
        "1.2 \xE2\x88\x92 1) = "
        "45.45 Gram",
        "Res = Zmax \xE2\x88\x92 Re = 40 \xE2\x88\x92 6 = 34.00 ohm",
    };
    ASSERT_EQ(lines.size(), 14u);
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]);
    EXPECT_EQ(lines[13], "SensitivityDb = 10\xC2\xB7log10(SensitivityWatt) + 112.2 = "
                         "10\xC2\xB7log10(0.00288) + 112.2 = 86.79 dB");
}

TEST(Explain, ResultsAreTheValueColumnsAndNonFiniteNumbersAreNamed) {
    DriverInputs in{};
    convert_inputs(in);
    const std::vector<std::string> lines = explain_calculation(in, compute_results(in));
    EXPECT_EQ(lines[0], "Ro = Zmax / Re = 0 / 0 = nan ohm");
    EXPECT_EQ(operand_text(INFINITY), "inf");
    EXPECT_EQ(operand_text(-INFINITY), "-inf");
    EXPECT_EQ(operand_text(1e-7), "1e-07");
}

} // namespace
