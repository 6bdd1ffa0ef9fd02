#include "app/calc/calc_options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

CalcOptions parse(std::vector<const char *> args) {
    args.insert(args.begin(), "elemtrix-calc");
    return parse_options(static_cast<int>(args.size()), const_cast<char **>(args.data()));
}

// The usage error for tolerances that do not fit; empty when they do.
std::string misfit(const Tolerances &t, const DriverInputs &in, const std::string &source) {
    MeasureError error;
    return tolerances_fit(t, in, source, error) ? "" : std::string(error.message);
}

TEST(Options, FilesAndValuesInCommandLineOrder) {
    const CalcOptions o = parse({"a.spk", "Fs=30", "b.spk", "Re=6", "Name=Bas"});
    ASSERT_TRUE(o.error.message.empty()) << o.error.message;
    ASSERT_EQ(o.sources.size(), 3u);
    EXPECT_STREQ(o.sources[0], "a.spk");
    EXPECT_EQ(o.sources[1], nullptr);
    EXPECT_STREQ(o.sources[2], "b.spk");
    EXPECT_STREQ(o.values.text[0], "Bas");
    EXPECT_STREQ(o.values.text[1], "30");
    EXPECT_STREQ(o.values.text[2], "6");
    EXPECT_STREQ(o.values.text[3], ""); // Zmax missing: an empty field
    EXPECT_EQ(o.values.count, DRIVER_FILE_LINES);
    EXPECT_STREQ(parse({"./x=y.spk"}).sources[0], "./x=y.spk");
}

TEST(Options, ValuesAreCutLikeTheirFields) {
    const CalcOptions o = parse({"Sd=123456", "Fs=123456789", u8"Name=Åsa"});
    EXPECT_STREQ(o.values.text[4], "1234");
    EXPECT_STREQ(o.values.text[1], "12345678");
#ifndef _WIN32
    EXPECT_STREQ(o.values.text[0], "\xC5sa"); // UTF-8 arguments become the program's Windows-1252
#endif
}

TEST(Options, ToleranceTakesTheAssignmentsAfterIt) {
    const CalcOptions o = parse({"w.spk", "--tolerance", "Fs=0.5", "Sd=2%", "--check", "x.spk"});
    ASSERT_TRUE(o.error.message.empty()) << o.error.message;
    EXPECT_TRUE(o.tolerance);
    EXPECT_TRUE(o.check);
    EXPECT_EQ(o.tolerances.input[0].amount, 0.5);
    EXPECT_FALSE(o.tolerances.input[0].percent);
    EXPECT_EQ(o.tolerances.input[3].amount, 2);
    EXPECT_TRUE(o.tolerances.input[3].percent);
    EXPECT_EQ(o.tolerances.input[1].amount, 0); // exact
    EXPECT_EQ(o.sources.size(), 2u);
}

TEST(Options, ToleranceTexts) {
    InputTolerance t;
    for (const char *good : {"0.5", "2%", "10", ".5%"})
        EXPECT_TRUE(parse_tolerance(good, t)) << good;
    for (const char *bad : {"", "%", "-1", "1e3", "1.2.3", "5 %", "inf", "0x10"})
        EXPECT_FALSE(parse_tolerance(bad, t)) << bad;
}

TEST(Options, UsageErrorsNameTheirCause) {
    const struct {
        std::vector<const char *> args;
        const char *error;
    } cases[] = {
        {{}, "no driver: give FILE.spk or NAME=TEXT values"},
        {{"Fz=3"}, "unknown value name Fz"},
        {{"--fast", "a.spk"}, "unknown option --fast"},
        {{"a.spk", "--tolerance"}, "--tolerance needs NAME=AMOUNT arguments"},
        {{"a.spk", "--tolerance", "Name=1"}, "unknown tolerance name Name"},
        {{"a.spk", "--tolerance", "Fs=-1"}, "bad tolerance Fs=-1 (a number, or a number and %)"},
        {{"--csv", "--json", "a.spk"}, "--csv and --json exclude each other"},
        {{"--csv", "--explain", "a.spk"},
         "--csv takes no --check, --explain, --tolerance or --plot"},
        {{"a.spk", "--plot"}, "--plot needs FILE.svg"},
        {{"--plot", "p.svg", "a.spk", "b.spk"}, "--plot draws one driver: give exactly one"},
        // The plot never replaces a driver data file.
        {{"--plot", "a.spk", "b.spk"},
         "--plot writes an SVG file: give a name ending in .svg, not a.spk"},
        {{"--plot", ".svg", "b.spk"},
         "--plot writes an SVG file: give a name ending in .svg, not .svg"},
        {{"--plot", "d.svg", "d.svg"}, "--plot d.svg would replace the driver data file d.svg"},
        // Found before anything is read: a tolerance that lacks its "=", anything given twice.
        {{"a.spk", "--tolerance", "Fs=0.5", "Re"},
         "bad tolerance Re (NAME=AMOUNT; files and values go before --tolerance)"},
        {{"Fs=1", "Fs=2"}, "value Fs given twice"},
        {{"a.spk", "--tolerance", "Fs=1", "Fs=2"}, "tolerance of Fs given twice"},
        {{"--plot", "a.svg", "--plot", "b.svg", "a.spk"}, "--plot given twice"},
        {{"-h", "--help"}, "--help given twice"},
        {{"a.spk", "--tolerance", "Fs=100.1%"}, "bad tolerance Fs=100.1% (over 100 %)"},
        // Names that differ only in case.
        {{"fs=30"}, "unknown value name fs; did you mean Fs?"},
        {{"NAME=x"}, "unknown value name NAME; did you mean Name?"},
        {{"a.spk", "--tolerance", "fsadded=1"},
         "unknown tolerance name fsadded; did you mean FsAdded?"},
        {{"-x", "a.spk"}, "unknown option -x"},
        // --sweep: the sweeps give the values, Sd is needed, nothing is written over a file named.
        {{"--sweep", "f.zma"}, "--sweep needs Sd=CM2, the cone area in cm2"},
        {{"--sweep", "f.zma", "Sd=132", "Fs=38"},
         "Fs comes from the sweeps: with --sweep give only Sd, Re, Vas and Name"},
        {{"--sweep", "f.zma", "Sd=132", "a.spk"},
         "--sweep takes no driver data file (a.spk); an added-mass sweep is given as "
         "--added-sweep GRAMS FILE"},
        {{"--sweep", "f.zma", "Sd=132", "--csv"},
         "--sweep takes no --csv or --tolerance: its tolerances come from the fit"},
        {{"--sweep", "f.zma", "Sd=12345"},
         "bad value Sd=12345 for --sweep (a number above 0 that its field of 4 characters "
         "holds)"},
        {{"--sweep", "f.zma", "Sd=132", "Re=6,2"},
         "bad value Re=6,2 for --sweep (a number above 0 that its field of 8 characters holds)"},
        {{"--sweep", "f.zma", "Sd=132", "--added-sweep", "0", "a.zma"},
         "bad mass 0 for --added-sweep GRAMS FILE (grams, a number above 0 such as 20 or 12.5)"},
        {{"--sweep", "f.zma", "Sd=132", "--added-sweep", "20"},
         "--added-sweep needs GRAMS ADDED.zma"},
        {{"--sweep", "f.zma", "Sd=132", "--added-sweep", "20", "f.zma"},
         "the sweep f.zma is given twice"},
        {{"--sweep", "f.zma", "Sd=132", "--sweep", "g.zma"}, "--sweep given twice"},
        {{"--sweep", "f.zma", "Sd=132", "--save", "f.txt"},
         "--save writes a driver data file: give a name ending in .spk, not f.txt"},
        {{"--sweep", "f.spk", "Sd=132", "--save", "f.spk"},
         "--save f.spk would replace the sweep f.spk"},
        {{"--sweep", "f.svg", "Sd=132", "--plot", "f.svg"},
         "--plot f.svg would replace the sweep f.svg"},
        {{"--added-sweep", "20", "a.zma", "Sd=132"}, "--added-sweep needs --sweep FREE.zma"},
        {{"--save", "a.spk", "Fs=38"},
         "--save writes a driver fitted with --sweep: give --sweep FREE.zma"},
        // --box: the box and its values, checked before anything is read.
        {{"a.spk", "--box"}, "--box needs sealed|vented [NAME=VALUE] arguments"},
        {{"a.spk", "--box", "closed"}, "--box needs sealed or vented first, not closed"},
        {{"a.spk", "--box", "sealed", "Fb=30"}, "Fb is no value of a sealed box"},
        {{"a.spk", "--box", "sealed", "Alignment=B4"}, "Alignment is no value of a sealed box"},
        {{"a.spk", "--box", "vented", "Qtc=0.7"}, "Qtc is no value of a vented box"},
        {{"a.spk", "--box", "sealed", "Qtc=0.7", "Vb=20"},
         "--box sealed takes Qtc= or Vb=, not both"},
        {{"a.spk", "--box", "vented", "Vb=20"}, "--box vented needs Vb= and Fb= together"},
        {{"a.spk", "--box", "vented", "Alignment=B4", "Vb=20", "Fb=30"},
         "--box vented takes Alignment= or Vb= and Fb=, not both"},
        {{"a.spk", "--box", "vented", "Alignment=b4"},
         "bad alignment b4 (B4, QB3, C4, SC4 or BB4)"},
        {{"a.spk", "--box", "vented", "Alignment=B4", "Alignment=C4"},
         "box value Alignment given twice"},
        {{"a.spk", "--box", "vented", "QL=7", "QL=10"}, "box value QL given twice"},
        {{"a.spk", "--box", "vented", "QL=0"}, "bad box value QL=0 (a number above 0)"},
        {{"a.spk", "--box", "vented", "Xmax=-3"}, "bad box value Xmax=-3 (a number above 0)"},
        {{"a.spk", "--box", "vented", "Port=5", "Ports=1.5"},
         "bad box value Ports=1.5 (a whole number from 1 to 16)"},
        {{"a.spk", "--box", "vented", "Ports=2"},
         "Ports= needs Port=CM, the diameter of each port"},
        {{"a.spk", "--box", "vented", "ql=7"}, "unknown box value name ql; did you mean QL?"},
        {{"a.spk", "--box", "vented", "Size=7"}, "unknown box value name Size"},
        {{"a.spk", "--box", "vented", "b.spk"},
         "bad box value b.spk (NAME=VALUE; files and values go before --box)"},
        {{"--csv", "a.spk", "--box", "sealed"}, "--csv takes no --box"},
        // With --sweep only the typed values take a tolerance.
        {{"--sweep", "f.zma", "Sd=132", "--tolerance", "Fs=1"},
         "the tolerance of Fs comes from the fit: with --sweep, --tolerance names only the typed "
         "values Sd, Re and Vas"},
        {{"--sweep", "f.zma", "Sd=132", "--tolerance", "Vas=1"},
         "the tolerance of Vas comes from the fit: with --sweep, --tolerance names only the "
         "typed values Sd, Re and Vas"},
        {{"--sweep", "f.zma", "Sd=132", "--tolerance", "Sd=200"},
         "the tolerance of Sd (200) is larger than Sd itself (132) in f.zma"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parse(c.args).error.message, c.error);
    EXPECT_TRUE(parse({"--help"}).error.message.empty());
    EXPECT_TRUE(parse({"--json", "--plot", "p.SVG", "Fs=3"}).error.message.empty());
    EXPECT_TRUE(parse({"a.spk", "--tolerance", "Fs=100%"}).error.message.empty());

    // Whole, however long the names in them.
    const std::string path(4000, 'p');
    EXPECT_EQ(parse({"--plot", path.c_str(), "a.spk"}).error.message,
              "--plot writes an SVG file: give a name ending in .svg, not " + path);
    DriverInputs in{};
    Tolerances t;
    t.input[0] = {1, false};
    EXPECT_EQ(misfit(t, in, path),
              "the tolerance of Fs (1) is larger than Fs itself (0) in " + path);
}

TEST(Options, SweepsTheirMassesAndTheValuesAsGiven) {
    const CalcOptions o =
        parse({"--sweep", "f.zma", "--added-sweep", "20", "a.zma", "Sd=132.75", "Name=Bas",
               "--added-sweep", "12.5", "b.zma", "--save", "out.SPK", "--json", "Re=6.123456789"});
    ASSERT_TRUE(o.error.message.empty()) << o.error.message;
    EXPECT_STREQ(o.sweep_path, "f.zma");
    ASSERT_EQ(o.added_sweeps.size(), 2u);
    EXPECT_EQ(o.added_sweeps[0].grams, 20);
    EXPECT_STREQ(o.added_sweeps[1].path, "b.zma");
    EXPECT_EQ(o.added_sweeps[1].grams, 12.5);
    EXPECT_EQ(o.save_path, "out.SPK");
    EXPECT_STREQ(o.value_args[4], "132.75"); // uncut, unlike the field's text
    EXPECT_STREQ(o.value_args[2], "6.123456789");
    EXPECT_EQ(o.value_args[1], nullptr);
}

TEST(Options, BoxTakesItsValuesUpToTheNextOption) {
    const CalcOptions o = parse({"a.spk", "--box", "vented", "Alignment=SC4", "QL=10", "Port=7.5",
                                 "Ports=2", "Xmax=4", "Pe=60", "Power=10", "--json"});
    ASSERT_TRUE(o.error.message.empty()) << o.error.message;
    EXPECT_EQ(o.format, CalcFormat::Json);
    EXPECT_EQ(o.box.kind, BoxKind::Vented);
    EXPECT_STREQ(o.box.alignment, "SC4");
    EXPECT_EQ(o.box.QL, 10);
    EXPECT_EQ(o.box.Port, 7.5);
    EXPECT_EQ(o.box.Ports, 2);
    EXPECT_EQ(o.box.Power, 10);
    EXPECT_TRUE(std::isnan(o.box.Vb));
    const CalcOptions sealed = parse({"a.spk", "--box", "sealed", "Vb=12.5"});
    EXPECT_EQ(sealed.box.kind, BoxKind::Sealed);
    EXPECT_EQ(sealed.box.Vb, 12.5);
    EXPECT_EQ(parse({"a.spk"}).box.kind, BoxKind::None);
    // The typed values of a sweep take tolerances, absolute or relative.
    const CalcOptions sweep = parse({"--sweep", "f.zma", "Sd=132", "Re=6", "--box", "sealed",
                                     "--tolerance", "Sd=2%", "Re=0.05"});
    ASSERT_TRUE(sweep.error.message.empty()) << sweep.error.message;
    EXPECT_TRUE(sweep.tolerance);
}

TEST(Options, MeasuredNumbers) {
    double value;
    for (const char *good : {"20", "12.5", ".5", "9999", "0.6"})
        EXPECT_TRUE(measured_number(good, 4, value)) << good;
    EXPECT_EQ(value, 0.6);
    // No sign, exponent or comma; nothing that is 0 in the field or too large for it.
    for (const char *bad :
         {"", ".", "-1", "+1", "1e3", "1,5", "1.2.3", "0", "0.0001", "10000", "20g"})
        EXPECT_FALSE(measured_number(bad, 4, value)) << bad;
}

TEST(Options, ShortHelpAndTheEndOfOptions) {
    EXPECT_TRUE(parse({"-h"}).help);
    const CalcOptions o = parse({"--check", "--", "--json", "-", "Fs=3"});
    ASSERT_TRUE(o.error.message.empty()) << o.error.message;
    EXPECT_EQ(o.format, CalcFormat::Text);
    ASSERT_EQ(o.sources.size(), 3u);
    EXPECT_STREQ(o.sources[0], "--json");
    EXPECT_STREQ(o.sources[1], "-");
    EXPECT_EQ(o.sources[2], nullptr);
}

// First-order propagation means nothing for a tolerance larger than the value.
TEST(Options, TolerancesMustFitTheValues) {
    DriverInputs in{};
    in[InputId::Fs].value = 30;
    in[InputId::Re].value = 6;
    in[InputId::Vas].value = INFINITY;
    Tolerances t;
    t.input[static_cast<int>(InputId::Fs)] = {30, false};
    t.input[static_cast<int>(InputId::Re)] = {100, true};
    t.input[static_cast<int>(InputId::Sd)] = {5, true}; // of 0: no tolerance
    EXPECT_EQ(misfit(t, in, "w.spk"), "");
    t.input[static_cast<int>(InputId::Fs)] = {1e23, false};
    EXPECT_EQ(misfit(t, in, "w.spk"),
              "the tolerance of Fs (1e+23) is larger than Fs itself (30) in w.spk");
    t = Tolerances{};
    t.input[static_cast<int>(InputId::Zmax)] = {0.5, false};
    EXPECT_EQ(misfit(t, in, "w.spk"),
              "the tolerance of Zmax (0.5) is larger than Zmax itself (0) in w.spk");
    t = Tolerances{};
    t.input[static_cast<int>(InputId::Vas)] = {1, true};
    EXPECT_EQ(misfit(t, in, "(kommandorad)"),
              "Vas (inf) takes no tolerance: it must be finite and away from 0 in (kommandorad)");
}

} // namespace
