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

CalcResult result(const CalcDriver &d) {
    CalcResult r;
    r.driver = &d;
    return r;
}

TEST(TextReport, NameFindingsAndTwentyAlignedRows) {
    const CalcDriver d = worked("\xC5sa");
    const std::string r = text_report(result(d));
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
    const std::string r = text_report(result(d));
    EXPECT_NE(r.find(u8"INMATNINGSFEL: Fs: Använd punkt som komma!\n"
                     "INMATNINGSFEL: Re: Ingen inmatning!\n"),
              std::string::npos);
    EXPECT_NE(r.find("nan  ohm"), std::string::npos);
}

TEST(TextReport, UncertaintiesChecksFormulasAndFilesAfterTheColumn) {
    const CalcDriver d = worked();
    CalcResult r = result(d);
    Uncertainties u{};
    for (RowUncertainty &row : u.row)
        row = {0, -1};
    u.row[SHOWN_INPUT_COUNT + 4] = {7.75, static_cast<int>(InputId::FsAdded)};
    r.uncertainties = &u;
    r.check = true;
    r.explain = true;
    r.plot = "p.svg";
    r.side = {19.754, NAN};
    r.saved = "s.spk";
    const std::string t = text_report(r);
    EXPECT_NE(t.find(u8"\nFs                     30.00 ±      0.00  Hz\n"), std::string::npos);
    EXPECT_NE(t.find(u8"\nMms                    45.45 ±      7.75  Gram  (mest från "
                     "FsAdded)\n"),
              std::string::npos);
    // The warnings, the formulas and the files written follow the value column in that order.
    const std::size_t column_end = t.find(u8"Res                    34.00 ±      0.00  ohm\n");
    ASSERT_NE(column_end, std::string::npos) << t;
    const std::string after = t.substr(t.find('\n', column_end) + 1);
    EXPECT_EQ(after.rfind(u8"RIMLIGHET: Qes (0.450) avviker 15.0 % från Qms/(Ro-1) = 0.529\n"
                          u8"Beräkning:\nRo = Zmax / Re = 40 / 6 = 6.67 ohm\n",
                          0),
              0u)
        << after;
    EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 1 + 15 + 2);
    EXPECT_EQ(after.substr(after.find("Impedanskurva")),
              "Impedanskurva: p.svg  F1 = 19.75 Hz  F2 = nan Hz\nSparad: s.spk\n");

    // Nothing of it unless asked for.
    const std::string plain = text_report(result(d));
    for (const char *part : {PLUS_MINUS, "RIMLIGHET", "Impedanskurva", "Sparad"})
        EXPECT_EQ(plain.find(part), std::string::npos) << part;
}

TEST(Csv, HeaderAndQuotedTexts) {
    const std::string header = csv_header();
    EXPECT_EQ(header.substr(0, 30), "file,name,text_Fs,text_Re,text");
    EXPECT_NE(header.find(",SensitivityDb,Res\n"), std::string::npos);
    const CalcDriver d = calculate_driver("a,b.spk", split_driver_file("say \"hi\"\n12,5\n 6\n"));
    const std::string row = csv_row(result(d));
    EXPECT_EQ(row.rfind("\"a,b.spk\",\"say \"\"hi\"\"\",\"12,5\",\" 6\",,", 0), 0u) << row;
    std::size_t commas = 0;
    const CalcDriver w = worked();
    for (char c : csv_row(result(w)))
        commas += c == ',';
    EXPECT_EQ(commas, 1u + INPUT_COUNT + VALUE_ROW_COUNT);
}

} // namespace
