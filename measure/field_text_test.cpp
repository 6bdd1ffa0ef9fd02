#include "measure/field_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

std::string text_of(double value, int limit) {
    char text[INPUT_TEXT_SIZE];
    return field_text(value, limit, text) ? text : "(none)";
}

TEST(FieldText, FillsTheFieldWithoutTrailingZeros) {
    struct Case {
        double value;
        int limit;
        const char *text;
    };
    const Case cases[] = {
        {30, 8, "30"},
        {29.876543219, 8, "29.87654"},
        {0.45123456, 8, "0.451235"},
        {1234.5678, 8, "1234.568"},
        {6.5, 8, "6.5"},
        {99.9999999, 8, "100"},      // rounding carries into a whole digit
        {12345678.4, 8, "12345678"}, // no room for the point
        {99999999.4, 8, "99999999"},
        {99999999.6, 8, "(none)"}, // rounds to 1e8: nine digits
        {1e8, 8, "(none)"},
        {0.000012345, 8, "0.000012"}, // small values keep the digits that fit
        {0.0000004, 8, "0"},          // below the last digit
        {-1.23456789, 8, "-1.23457"}, // the sign takes a character
        {-0.0000001, 8, "0"},         // never "-0"
        {-9999999.6, 8, "(none)"},
        {500, 4, "500"},
        {132.7, 4, "133"},
        {999.96, 4, "1000"},
        {9999.6, 4, "(none)"},
        {NaN, 8, "(none)"},
        {std::numeric_limits<double>::infinity(), 8, "(none)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(text_of(c.value, c.limit), c.text) << c.value << " in " << c.limit;
}

SweepFit fitted() {
    SweepFit f{};
    f.Re = {6.1234567, 0};
    f.Fs = {38.123456, 0.05};
    f.Zmax = {45.67, 0.3};
    f.Qms = {4.1, 0.04};
    f.Qes = {0.42, 0.004};
    f.Qts = {0.381, 0.003};
    return f;
}

TEST(FieldText, FieldsFromTheFits) {
    JointMassFit added{};
    added.Cms = {1e-3, 1e-5};
    added.FsAdded = {31.5, 0.06};
    added.mass = 20;

    const DriverFields with_sd = driver_fields(fitted(), &added, 500, NaN);
    EXPECT_TRUE(with_sd.vas_from_compliance);
    EXPECT_NEAR(with_sd.input[static_cast<int>(InputId::Vas)].value, 354.537, 1e-3);
    DriverInputs in{};
    MeasureError error;
    EXPECT_TRUE(set_field_texts(with_sd, "free.zma", in, error));
    const char *expected[INPUT_COUNT] = {"38.12346", "6.123457", "45.67", "500",  "354.5366",
                                         "4.1",      "0.42",     "0.381", "31.5", "20"};
    for (int i = 0; i < INPUT_COUNT; ++i)
        EXPECT_STREQ(in.entry[i].text, expected[i]) << INPUT_DESCRIPTORS[i].name;
    const Tolerances t = field_tolerances(with_sd);
    EXPECT_EQ(t.input[static_cast<int>(InputId::Fs)].amount, 0.05);
    EXPECT_NEAR(t.input[static_cast<int>(InputId::Vas)].amount, 3.54537, 1e-5); // Cms's 1 %
    EXPECT_FALSE(t.input[static_cast<int>(InputId::Vas)].percent);

    // A given Vas is kept, even with a compliance; without Sd there is no Vas to compute.
    EXPECT_EQ(driver_fields(fitted(), &added, 500, 80).input[static_cast<int>(InputId::Vas)].value,
              80);
    EXPECT_TRUE(std::isnan(
        driver_fields(fitted(), &added, NaN, NaN).input[static_cast<int>(InputId::Vas)].value));

    // Without added mass the last two fields and Vas stay empty; a value too large for its
    // field is named.
    DriverInputs empty{};
    EXPECT_TRUE(
        set_field_texts(driver_fields(fitted(), nullptr, NaN, NaN), "free.zma", empty, error));
    for (InputId id : {InputId::Sd, InputId::Vas, InputId::FsAdded, InputId::AddedMass})
        EXPECT_STREQ(empty[id].text, "") << INPUT_DESCRIPTORS[static_cast<int>(id)].name;
    EXPECT_FALSE(set_field_texts(driver_fields(fitted(), nullptr, 123456789, NaN), "free.zma",
                                 empty, error));
    EXPECT_EQ(error.message, "free.zma: Sd 1.23457e+08 does not fit its field of 4 characters");
}

} // namespace
