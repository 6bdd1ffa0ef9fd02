#include "engine/input_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

DriverInputs with_texts(std::initializer_list<std::pair<InputId, const char *>> texts,
                        const char *others = "1") {
    DriverInputs in{};
    for (InputEntry &e : in.entry)
        std::strcpy(e.text, others);
    for (const auto &t : texts)
        std::strcpy(in[t.first].text, t.second);
    convert_inputs(in);
    return in;
}

std::vector<std::string> messages(const InputErrors &errors) {
    std::vector<std::string> out;
    for (int i = 0; i < errors.count; ++i)
        out.push_back(input_error_message(errors.item[i]));
    return out;
}

using Texts = std::vector<std::string>;

TEST(TextChecks, CommaAndNonDigitByPosition) {
    EXPECT_EQ(messages(check_input_texts(with_texts({{InputId::Fs, "12,5"}}))),
              Texts{"Fs: Anv\xE4nd punkt som komma!"});
    EXPECT_EQ(messages(check_input_texts(with_texts({{InputId::Re, "abc"}}))),
              Texts(3, "Re: Anv\xE4nd endast siffror!"));
    EXPECT_EQ(messages(check_input_texts(with_texts({{InputId::Fs, "1,5"}, {InputId::Re, "2,5"}}))),
              (Texts{"Fs: Anv\xE4nd punkt som komma!", "Re: Anv\xE4nd punkt som komma!"}));
    EXPECT_EQ(messages(check_input_texts(with_texts({{InputId::Fs, "a1,5"}}))),
              (Texts{"Fs: Anv\xE4nd endast siffror!", "Fs: Anv\xE4nd punkt som komma!"}));
}

TEST(TextChecks, AllCommasOfAPositionComeBeforeItsNonDigits) {
    const auto found = check_input_texts(
        with_texts({{InputId::AddedMass, ",x"}, {InputId::Fs, "x,"}, {InputId::Re, ","}}));
    ASSERT_EQ(found.count, 5);
    EXPECT_EQ(found.item[0].input, InputId::Re);        // position 0, comma
    EXPECT_EQ(found.item[1].input, InputId::AddedMass); // position 0, comma
    EXPECT_EQ(found.item[2].input, InputId::Fs);        // position 0, non-digit
    EXPECT_EQ(found.item[3].input, InputId::Fs);        // position 1, comma
    EXPECT_EQ(found.item[4].input, InputId::AddedMass); // position 1, non-digit
    EXPECT_EQ(found.item[4].kind, InputErrorKind::NonDigit);
}

TEST(TextChecks, OnlyTheFirstSixCharactersAreExamined) {
    EXPECT_EQ(check_input_texts(with_texts({{InputId::Fs, "123456,7"}})).count, 0);
    EXPECT_EQ(check_input_texts(with_texts({{InputId::Fs, "123456abc"}})).count, 0);
    EXPECT_EQ(check_input_texts(with_texts({{InputId::Fs, "12345a"}})).count, 1);
}

TEST(TextChecks, ByteRangeOfNonDigits) {
    // Everything below ':' passes, "e" and Windows-1252 letters do not, 0xFF passes.
    EXPECT_EQ(check_input_texts(with_texts({{InputId::Fs, " +-./9"}})).count, 0);
    EXPECT_EQ(messages(check_input_texts(with_texts({{InputId::Qes, "1e3"}}))),
              Texts{"Qes: Anv\xE4nd endast siffror!"});
    EXPECT_EQ(check_input_texts(with_texts({{InputId::Fs, ":;\xE4\xF6\xE5\xFE"}})).count, 6);
    EXPECT_EQ(check_input_texts(with_texts({{InputId::Fs, "\xFF"}})).count, 0);
    EXPECT_EQ(check_input_texts(with_texts({}, "")).count, 0);
}

TEST(ValueCheck, BelowTheSmallestValueIsNoInput) {
    EXPECT_EQ(messages(check_input_values(with_texts({{InputId::Vas, "-5"}}))),
              Texts{"Vas: Ingen inmatning!"});
    EXPECT_EQ(check_input_values(with_texts({{InputId::Fs, "0.001"}})).count, 0);
    EXPECT_EQ(check_input_values(with_texts({{InputId::Fs, "0.0009"}})).count, 1);
    EXPECT_EQ(check_input_values(with_texts({{InputId::Re, "abc"}})).count, 1);
}

TEST(ValueCheck, AllEmptyGivesTenMessagesEndingWithTheOddOne) {
    const Texts expected{"Fs: Ingen inmatning!",
                         "Re: Ingen inmatning!",
                         "Zmax: Ingen inmatning!",
                         "Sd: Ingen inmatning!",
                         "Vas: Ingen inmatning!",
                         "Qms: Ingen inmatning!",
                         "Qes: Ingen inmatning!",
                         "Qts: Ingen inmatning!",
                         "Fs med adderad massa: Ingen inmatning!",
                         "Vikt ad.massa: Anv\xE4nd Ingen inmatning!"};
    EXPECT_EQ(messages(check_input_values(with_texts({}, ""))), expected);
}

TEST(ValueCheck, NanIsNotReported) {
    DriverInputs in = with_texts({});
    in[InputId::Fs].value = NAN;
    EXPECT_EQ(check_input_values(in).count, 0);
}

// Every message byte for byte as the boxes show it: Windows-1252, one byte for "ä".
TEST(Messages, AllThirtyAreTheirWindows1252Bytes) {
    const char *const expected[INPUT_COUNT][3] = {
        {"Fs: Anv\xE4nd punkt som komma!", "Fs: Anv\xE4nd endast siffror!", "Fs: Ingen inmatning!"},
        {"Re: Anv\xE4nd punkt som komma!", "Re: Anv\xE4nd endast siffror!", "Re: Ingen inmatning!"},
        {"Zmax: Anv\xE4nd punkt som komma!", "Zmax: Anv\xE4nd endast siffror!",
         "Zmax: Ingen inmatning!"},
        {"Sd: Anv\xE4nd punkt som komma!", "Sd: Anv\xE4nd endast siffror!", "Sd: Ingen inmatning!"},
        {"Vas: Anv\xE4nd punkt som komma!", "Vas: Anv\xE4nd endast siffror!",
         "Vas: Ingen inmatning!"},
        {"Qms: Anv\xE4nd punkt som komma!", "Qms: Anv\xE4nd endast siffror!",
         "Qms: Ingen inmatning!"},
        {"Qes: Anv\xE4nd punkt som komma!", "Qes: Anv\xE4nd endast siffror!",
         "Qes: Ingen inmatning!"},
        {"Qts: Anv\xE4nd punkt som komma!", "Qts: Anv\xE4nd endast siffror!",
         "Qts: Ingen inmatning!"},
        {"Fs med adderad massa: Anv\xE4nd punkt som komma!",
         "Fs med adderad massa: Anv\xE4nd endast siffror!",
         "Fs med adderad massa: Ingen inmatning!"},
        {"Vikt ad.massa: Anv\xE4nd punkt som komma!", "Vikt ad.massa: Anv\xE4nd endast siffror!",
         "Vikt ad.massa: Anv\xE4nd Ingen inmatning!"},
    };
    const InputErrorKind kinds[] = {InputErrorKind::Comma, InputErrorKind::NonDigit,
                                    InputErrorKind::NoInput};
    for (int i = 0; i < INPUT_COUNT; ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(std::string(input_error_message({static_cast<InputId>(i), kinds[k]})),
                      expected[i][k]);
}

} // namespace
