#include "app/calc/calc_output.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The whole output of the drivers in one format.
std::string output(CalcFormat format, const std::vector<CalcDriver> &drivers) {
    CalcOutput out(format);
    std::string text = out.begin();
    for (const CalcDriver &d : drivers) {
        CalcResult r;
        r.driver = &d;
        text += out.add(r);
    }
    return text + out.end();
}

TEST(Output, EachFormatOpensSeparatesAndCloses) {
    const std::vector<CalcDriver> two = {calculate_driver("a.spk", split_driver_file("A\n30\n")),
                                         calculate_driver("b.spk", split_driver_file("B\n40\n"))};
    CalcResult a;
    a.driver = &two[0];
    CalcResult b;
    b.driver = &two[1];

    EXPECT_EQ(output(CalcFormat::Text, two), text_report(a) + "\n" + text_report(b));
    EXPECT_EQ(output(CalcFormat::Csv, two), csv_header() + csv_row(a) + csv_row(b));
    EXPECT_EQ(output(CalcFormat::Csv, {}), csv_header());
    EXPECT_EQ(output(CalcFormat::Text, {}), "");

    // The JSON document's values are held in calc_json_test; here its layout without drivers.
    EXPECT_EQ(output(CalcFormat::Json, {}), "{\n  \"drivers\": [\n\n  ]\n}\n");
}

} // namespace
