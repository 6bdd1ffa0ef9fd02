#include "measure/sweep_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

const std::string EXAMPLES = ELEMTRIX_EXAMPLES;
const std::string FREE = EXAMPLES + "/mid-free.zma", ADDED = EXAMPLES + "/mid-20g.zma";

int index(InputId id) {
    return static_cast<int>(id);
}

std::string rows(int count, const char *row) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += row;
    return text;
}

TEST(IsSweep, TwelveRowsOfTwoNumbers) {
    const std::string driver_file = "Testelement\r\n30\r\n6\r\n40\r\n500\r\n50\r\n3\r\n0.45\r\n"
                                    "0.39\r\n25\r\n20\r\n";
    EXPECT_FALSE(is_sweep_text(driver_file.data(), driver_file.size()));
    // Eleven lines of numbers can be a driver file; the twelfth makes a sweep.
    EXPECT_FALSE(is_sweep_text(rows(11, "10 5.1 3\n").data(), rows(11, "10 5.1 3\n").size()));
    const std::string sweep = "Freq Z Phase\n" + rows(12, "10,5;6,2\n");
    EXPECT_TRUE(is_sweep_text(sweep.data(), sweep.size()));
    // One number a row, or a second field that is no number, is no row of a sweep.
    const std::string single = rows(40, "12.5\n"), words = rows(40, "12 ohm\n");
    EXPECT_FALSE(is_sweep_text(single.data(), single.size()));
    EXPECT_FALSE(is_sweep_text(words.data(), words.size()));

    EXPECT_TRUE(is_sweep_file(FREE.c_str()));
    EXPECT_FALSE(is_sweep_file((EXAMPLES + "/worked.spk").c_str()));
    EXPECT_FALSE(is_sweep_file((EXAMPLES + "/no such file.zma").c_str()));
}

ImportRequest request(std::initializer_list<const std::string *> paths) {
    ImportRequest r{{}, 0, NAN, NAN, NAN, true, {}};
    for (const std::string *path : paths)
        r.paths[r.count++] = path->c_str();
    return r;
}

TEST(ImportSweeps, OneFreeSweepFillsTheResonanceFields) {
    ImportRequest r = request({&FREE});
    SweepImport result;
    MeasureError error;
    ASSERT_TRUE(import_sweeps(r, result, error)) << error.message;
    for (InputId id :
         {InputId::Fs, InputId::Re, InputId::Zmax, InputId::Qms, InputId::Qes, InputId::Qts})
        EXPECT_TRUE(result.fill[index(id)]) << INPUT_DESCRIPTORS[index(id)].name;
    for (InputId id : {InputId::Sd, InputId::Vas, InputId::FsAdded, InputId::AddedMass})
        EXPECT_FALSE(result.fill[index(id)]) << INPUT_DESCRIPTORS[index(id)].name;
    EXPECT_NEAR(std::atof(result.texts[InputId::Fs].text), 38.0, 0.1);
    EXPECT_FALSE(result.vas_without_sd);
    EXPECT_FALSE(fit_near_sweep_end(result.sweeps[0]));

    // A measured Re is held, and its field keeps what was typed.
    r.re = 6;
    ASSERT_TRUE(import_sweeps(r, result, error)) << error.message;
    EXPECT_FALSE(result.fill[index(InputId::Re)]);
    EXPECT_TRUE(result.sweeps[0].fit.re_given);
}

TEST(ImportSweeps, TheHigherResonanceIsTheFreeAirSweepInEitherOrder) {
    for (auto paths : {request({&FREE, &ADDED}), request({&ADDED, &FREE})}) {
        paths.added_mass = 20;
        paths.sd = 132;
        SweepImport result;
        MeasureError error;
        ASSERT_TRUE(import_sweeps(paths, result, error)) << error.message;
        EXPECT_EQ(result.sweeps[0].path, FREE);
        EXPECT_EQ(result.sweeps[1].mass, 20);
        for (InputId id : {InputId::FsAdded, InputId::Vas})
            EXPECT_TRUE(result.fill[index(id)]) << INPUT_DESCRIPTORS[index(id)].name;
        EXPECT_FALSE(result.fill[index(InputId::AddedMass)]);
        EXPECT_FALSE(result.fill[index(InputId::Sd)]);
        // The fields give the joint fit's moving mass back through the engine's formula.
        EXPECT_NEAR(result.fields.input[index(InputId::FsAdded)].value,
                    result.sweeps[0].fit.Fs.value / std::sqrt(1 + 20 / result.joint.Mms.value),
                    1e-9);
    }
}

TEST(ImportSweeps, VasNeedsSdAndAnEmptyField) {
    ImportRequest r = request({&FREE, &ADDED});
    r.added_mass = 20;
    SweepImport result;
    MeasureError error;
    ASSERT_TRUE(import_sweeps(r, result, error)) << error.message;
    EXPECT_FALSE(result.fill[index(InputId::Vas)]);
    EXPECT_TRUE(result.vas_without_sd);

    r.sd = 132;
    r.vas_empty = false;
    ASSERT_TRUE(import_sweeps(r, result, error)) << error.message;
    EXPECT_FALSE(result.fill[index(InputId::Vas)]);
    EXPECT_FALSE(result.vas_without_sd);
}

TEST(ImportSweeps, FailuresNameTheFile) {
    const std::string missing = EXAMPLES + "/missing.zma", spk = EXAMPLES + "/worked.spk";
    SweepImport result;
    MeasureError error;
    EXPECT_FALSE(import_sweeps(request({&missing}), result, error));
    EXPECT_EQ(error.message.view().rfind(missing + ": cannot open", 0), 0u) << error.message;
    EXPECT_FALSE(import_sweeps(request({&FREE, &spk}), result, error));
    EXPECT_EQ(error.message.view().rfind(spk + ":2: ", 0), 0u) << error.message;
    // The same sweep twice has no resonance below the other.
    ImportRequest twice = request({&FREE, &FREE});
    twice.added_mass = 20;
    EXPECT_FALSE(import_sweeps(twice, result, error));
}

// Sweeps measured in the window go the files' way: the same fit and the same texts, named as
// the caller names them; nothing is read from that name.
TEST(ImportSweeps, GivenSweepsFillWhatTheirFilesFill) {
    ImportRequest files = request({&ADDED, &FREE});
    files.added_mass = 20;
    files.sd = 132;
    SweepImport from_files, from_memory;
    MeasureError error;
    ASSERT_TRUE(import_sweeps(files, from_files, error)) << error.message;

    Sweep measured[IMPORT_MAX_SWEEPS];
    ASSERT_TRUE(read_sweep_file(ADDED.c_str(), measured[0], error));
    ASSERT_TRUE(read_sweep_file(FREE.c_str(), measured[1], error));
    ImportRequest given = files;
    given.paths[0] = "med massa";
    given.paths[1] = "fri luft";
    given.given[0] = &measured[0];
    given.given[1] = &measured[1];
    ASSERT_TRUE(import_sweeps(given, from_memory, error)) << error.message;
    EXPECT_STREQ(from_memory.sweeps[0].path, "fri luft");
    for (int i = 0; i < INPUT_COUNT; ++i) {
        EXPECT_STREQ(from_memory.texts.entry[i].text, from_files.texts.entry[i].text) << i;
        EXPECT_EQ(from_memory.fill[i], from_files.fill[i]) << i;
    }
}

} // namespace
