#include "app/calc/calc_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

CalcDriver worked(const char *name = "Test") {
    const std::string text =
        std::string(name) + "\r\n30\r\n6\r\n40\r\n500\r\n50\r\n3\r\n0.45\r\n0.39\r\n25\r\n20\r\n";
    return calculate_driver("w.spk", split_driver_file(text.c_str()));
}

TEST(TextReport, NameFindingsAndTwentyAlignedRows) {
    const std::string r = text_report(worked("\xC5sa"));
    EXPECT_EQ(r.substr(0, r.find("Fs ")), u8"Fil: w.spk\nNamn: Åsa\n");
    EXPECT_NE(r.find("Fs                     30.00  Hz\n"), std::string::npos);
    EXPECT_NE(r.find(u8"Känslighet Watt     0.002880  Watt\n"), std::string::npos);
    EXPECT_NE(r.find("Res                    34.00  ohm\n"), std::string::npos);
    EXPECT_EQ(r.find("INMATNINGSFEL"), std::string::npos);
    std::size_t rows = 0;
    for (char c : r)
        rows += c == '\n';
    EXPECT_EQ(rows, 2u + VALUE_ROW_COUNT);
}

TEST(TextReport, FindingsComeBeforeTheRows) {
    const CalcDriver d = calculate_driver("e.spk", split_driver_file("x\n12,5\n"));
    const std::string r = text_report(d);
    EXPECT_NE(r.find(u8"INMATNINGSFEL: Fs: Använd punkt som komma!\n"
                     "INMATNINGSFEL: Re: Ingen inmatning!\n"),
              std::string::npos);
    EXPECT_NE(r.find("nan  ohm"), std::string::npos);
}

TEST(TextReport, UncertaintiesCheckAndExplain) {
    const CalcDriver d = worked();
    EXPECT_EQ(check_report(d), u8"RIMLIGHET: Qes (0.450) avviker 15.0 % från Qms/(Ro-1) = 0.529\n");
    Uncertainties u{};
    for (RowUncertainty &r : u.row)
        r = {0, -1};
    u.row[SHOWN_INPUT_COUNT + 4] = {7.75, static_cast<int>(InputId::FsAdded)};
    const std::string t = text_report(d, &u);
    EXPECT_NE(t.find(u8"\nFs                     30.00 ±      0.00  Hz\n"), std::string::npos);
    EXPECT_NE(t.find(u8"\nMms                    45.45 ±      7.75  Gram  (mest från "
                     "FsAdded)\n"),
              std::string::npos);
    const std::string e = explain_report(d);
    EXPECT_EQ(e.rfind(u8"Beräkning:\nRo = Zmax / Re = 40 / 6 = 6.67 ohm\n", 0), 0u);
    EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 15);
}

TEST(Csv, HeaderAndQuotedTexts) {
    const std::string header = csv_header();
    EXPECT_EQ(header.substr(0, 30), "file,name,text_Fs,text_Re,text");
    EXPECT_NE(header.find(",SensitivityDb,Res\n"), std::string::npos);
    const CalcDriver d = calculate_driver("a,b.spk", split_driver_file("say \"hi\"\n12,5\n 6\n"));
    const std::string row = csv_row(d);
    EXPECT_EQ(row.rfind("\"a,b.spk\",\"say \"\"hi\"\"\",\"12,5\",\" 6\",,", 0), 0u) << row;
    std::size_t commas = 0;
    for (char c : csv_row(worked()))
        commas += c == ',';
    EXPECT_EQ(commas, 1u + INPUT_COUNT + VALUE_ROW_COUNT);
}

} // namespace
