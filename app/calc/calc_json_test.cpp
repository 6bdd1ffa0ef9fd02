#include "app/calc/calc_json.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(Json, StringsAreEscaped) {
    EXPECT_EQ(json_string("a\"b\\c\td\x01"), "\"a\\\"b\\\\c\\u0009d\\u0001\"");
    EXPECT_EQ(json_string(u8"ä"), u8"\"ä\"");
}

TEST(Json, NumbersKeepEveryBitAndNameTheNonFinite) {
    EXPECT_EQ(json_number(0.45), "0.45000000000000001");
    EXPECT_EQ(std::stod(json_number(1.0 / 3)), 1.0 / 3);
    EXPECT_EQ(json_number(-1e300), "-1.0000000000000001e+300");
    EXPECT_EQ(json_number(INFINITY), "\"inf\"");
    EXPECT_EQ(json_number(-INFINITY), "\"-inf\"");
    EXPECT_EQ(json_number(NAN), "\"nan\"");
    EXPECT_EQ(json_uncertainty(7.7457021584548533), "7.7457");
    EXPECT_EQ(json_uncertainty(9.3590488091377025e-05), "9.35905e-05");
    EXPECT_EQ(json_uncertainty(NAN), "\"nan\"");
}

TEST(Json, DriverHoldsWhatWasAskedFor) {
    const CalcDriver d = calculate_driver(
        "w.spk", split_driver_file("W\n30\n6\n40\n500\n50\n3\n0.45\n0.39\n25\n20\n"));
    const std::string plain = json_driver(d, {nullptr, false, nullptr, {NAN, NAN}, nullptr});
    for (const char *part : {"\"findings\": []", "\"kind\": \"QesDisagrees\"",
                             "{\"name\": \"Mms\", \"caption\": \"Mms\", \"unit\": \"Gram\", "
                             "\"shown\": \"45.45\", \"value\": 45.45454545454546}"})
        EXPECT_NE(plain.find(part), std::string::npos) << part;
    for (const char *part : {"uncertainty", "explain", "plot"})
        EXPECT_EQ(plain.find(part), std::string::npos) << part;

    Uncertainties u{};
    u.row[0] = {0.5, 0};
    u.row[1] = {0, -1};
    const std::string full = json_driver(d, {&u, true, "p.svg", {19.5, NAN}, nullptr});
    for (const char *part :
         {"\"uncertainty\": 0.5, \"largest\": \"Fs\"}", "\"uncertainty\": 0, \"largest\": null}",
          "\"explain\": [\n        \"Ro = Zmax / Re",
          "\"plot\": {\"file\": \"p.svg\", \"F1\": 19.5, "
          "\"F2\": \"nan\"}"})
        EXPECT_NE(full.find(part), std::string::npos) << part;
}

TEST(Json, MeasurementHoldsTheSweepsTheLineAndTheFilesWritten) {
    const char *with_mass[] = {"elemtrix-calc", "--sweep", "mid-free.zma", "--added-sweep", "20",
                               "mid-20g.zma",   "Sd=132"};
    Measurement m{};
    MeasureError error;
    ASSERT_TRUE(measure_driver(parse_options(7, const_cast<char **>(with_mass)), m, error))
        << error.message;
    const std::string json = json_measurement(m, "p.svg", nullptr);
    for (const char *part :
         {"\"sweeps\": [\n          {\"file\": \"mid-free.zma\", \"added_mass\": 0,",
          "{\"file\": \"mid-20g.zma\", \"added_mass\": 20,", "\"re_given\": false",
          "\"classic\": {\"Re\": ", "{\"name\": \"Le\", \"unit\": \"mH\", \"value\": 0.",
          "\"added_mass\": {\"masses\": 1, \"Mms\": {\"value\": 21.9", "\"mass\": 20,",
          "\"air_density\": 1.204, \"speed_of_sound\": 343.1", "\"left_out\": []",
          "\"correlations_carried\": false", "\"plot\": \"p.svg\", \"saved\": null\n      }"})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
    EXPECT_NE(json_driver(m.driver, {&m.uncertainties, false, nullptr, {NAN, NAN}, json.c_str()})
                  .find(",\n      \"measurement\": {\n        \"sweeps\""),
              std::string::npos);

    const char *alone[] = {"elemtrix-calc", "--sweep", "mid-free.zma", "Sd=132"};
    m = Measurement{};
    ASSERT_TRUE(measure_driver(parse_options(4, const_cast<char **>(alone)), m, error));
    const std::string plain = json_measurement(m, nullptr, "a.spk");
    for (const char *part : {"\"added_mass\": null", "\"vas_from_compliance\": null",
                             "\"plot\": null, \"saved\": \"a.spk\""})
        EXPECT_NE(plain.find(part), std::string::npos) << part;
}

} // namespace
