#include "measure/added_mass.h"
#include "measure/synthetic_sweeps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double TWO_PI = 2 * 3.14159265358979323846;

struct Driver {
    SyntheticSweep free;
    std::vector<SyntheticSweep> loaded; // by rising mass
    std::vector<SweepFit> fits;         // of the loaded sweeps
    SweepFit free_fit;
};

// The added-mass sweeps of each driver, clean or noisy, fitted.
std::vector<Driver> drivers(bool noisy) {
    std::map<std::string, Driver> by_name;
    for (const SyntheticSweep &s : synthetic_sweeps("added")) {
        if (s.noisy != noisy)
            continue;
        Driver &d = by_name[s.driver];
        if (s.mass == 0) {
            d.free = s;
            d.free_fit = fit_synthetic(s);
        } else {
            d.loaded.push_back(s);
            d.fits.push_back(fit_synthetic(s));
        }
    }
    std::vector<Driver> all;
    for (auto &entry : by_name)
        all.push_back(std::move(entry.second));
    return all;
}

std::vector<MassResonance> resonances(const Driver &d, std::size_t count) {
    std::vector<MassResonance> r;
    for (std::size_t i = 0; i < count; ++i)
        r.push_back({d.loaded[i].file.c_str(), d.loaded[i].mass, d.fits[i].Fs});
    return r;
}

TEST(AddedMass, CleanMovingMassWithinOnePercent) {
    for (const Driver &d : drivers(false)) {
        ASSERT_EQ(d.loaded.size(), 3u);
        for (std::size_t count : {1u, 3u}) {
            SCOPED_TRACE(d.free.driver + " with " + std::to_string(count) + " masses");
            const std::vector<MassResonance> added = resonances(d, count);
            AddedMassResult r;
            MeasureError error;
            ASSERT_TRUE(fit_added_mass(d.free.file.c_str(), d.free_fit.Fs, added.data(),
                                       static_cast<int>(count), r, error))
                << error.message;
            EXPECT_NEAR(r.Mms.value, d.free.Mms, 0.01 * d.free.Mms);
            const double cms = 1 / (std::pow(TWO_PI * d.free.Fs, 2) * d.free.Mms / 1000);
            EXPECT_NEAR(r.Cms.value, cms, 0.01 * cms);
            const SyntheticSweep &heaviest = d.loaded[count - 1];
            EXPECT_EQ(r.mass, heaviest.mass);
            EXPECT_NEAR(r.FsAdded.value, heaviest.Fs, 1e-3 * heaviest.Fs);
            EXPECT_EQ(r.masses, static_cast<int>(count));
            EXPECT_LT(r.rms_percent, 0.01);
        }
    }
}

// The standard errors carried from the fitted resonances must cover the true values.
TEST(AddedMass, NoisyMovingMassWithinThreeStandardErrors) {
    for (const Driver &d : drivers(true)) {
        SCOPED_TRACE(d.free.driver);
        const std::vector<MassResonance> added = resonances(d, d.loaded.size());
        AddedMassResult r;
        MeasureError error;
        ASSERT_TRUE(fit_added_mass(d.free.file.c_str(), d.free_fit.Fs, added.data(),
                                   static_cast<int>(added.size()), r, error))
            << error.message;
        EXPECT_LE(std::abs(r.Mms.value - d.free.Mms), 3 * r.Mms.error);
        EXPECT_LE(std::abs(r.FsAdded.value - d.loaded.back().Fs), 3 * r.FsAdded.error);
        EXPECT_GT(r.rms_percent, 0);
    }
}

// On a creeping suspension the straight line misses Mms, as the compliance rises while the mass
// lowers the resonance (through the true resonances by 3 %); the joint fit of all the sweeps
// finds it within half a percent.
TEST(AddedMass, JointFitReachesTheMovingMassOfACreepingDriver) {
    std::vector<SweepFit> fits;
    std::vector<double> masses;
    std::vector<MassResonance> added;
    FitOptions options;
    const std::vector<SyntheticSweep> sweeps = synthetic_sweeps("creep");
    options.Re = sweeps.front().Re;
    for (const SyntheticSweep &s : sweeps) {
        fits.push_back(fit_synthetic(s, options));
        masses.push_back(s.mass);
    }
    for (std::size_t i = 1; i < sweeps.size(); ++i)
        added.push_back({sweeps[i].file.c_str(), masses[i], fits[i].Fs});
    AddedMassResult line;
    MeasureError error;
    ASSERT_TRUE(fit_added_mass("free", fits[0].Fs, added.data(), static_cast<int>(added.size()),
                               line, error))
        << error.message;
    std::vector<const SweepFit *> pointers;
    for (const SweepFit &f : fits)
        pointers.push_back(&f);
    JointMassFit joint;
    ASSERT_TRUE(fit_masses_jointly("free", pointers.data(), masses.data(),
                                   static_cast<int>(fits.size()), line.Mms.value, joint, error))
        << error.message;
    const double mms = sweeps.front().Mms;
    EXPECT_LT(line.Mms.value, 0.985 * mms);
    EXPECT_NEAR(joint.Mms.value, mms, 0.005 * mms);
    EXPECT_LE(std::abs(joint.Mms.value - mms), 3 * joint.Mms.error);
    EXPECT_EQ(joint.sweeps, 3);
    EXPECT_EQ(joint.mass, 16);
    // The engine's formula gives the joint Mms back from Fs and FsAdded.
    const double ratio = fits[0].Fs.value / joint.FsAdded.value;
    EXPECT_NEAR(joint.mass / (ratio * ratio - 1), joint.Mms.value, 1e-9 * mms);
}

TEST(AddedMass, RefusesMassesAndResonancesThatCannotBe) {
    const Estimate free{40, 0.1};
    struct Case {
        const char *name;
        MassResonance added;
        const char *message;
    };
    const Case cases[] = {
        {"same file twice",
         {"same.zma", 10, {40, 0.1}},
         "same.zma: resonance 40 Hz with the added mass is not below the free resonance 40 Hz "
         "of free.zma"},
        {"no mass", {"zero.zma", 0, {35, 0.1}}, "zero.zma: added mass 0 g is not above 0"},
        {"negative mass",
         {"minus.zma", -5, {35, 0.1}},
         "minus.zma: added mass -5 g is not above 0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        AddedMassResult r;
        MeasureError error;
        EXPECT_FALSE(fit_added_mass("free.zma", free, &c.added, 1, r, error));
        EXPECT_EQ(error.message, c.message);
    }
}

// Vas = ρ·c²·Sd²·Cms: 1.204 kg/m³ · (343.2 m/s)² · (0.05 m²)² · 0.001 m/N = 354.537 litre.
TEST(AddedMass, VasFromCompliance) {
    const Estimate vas = vas_from_compliance({1e-3, 1e-4}, 500);
    EXPECT_NEAR(vas.value, 354.537, 1e-3);
    EXPECT_NEAR(vas.error, 35.4537, 1e-4);
}

// However long the files' names, the reason comes whole, with both of them.
TEST(AddedMass, KeepsTheWholeMessageOfLongPaths) {
    const std::string free_name(4000, 'f'), added_name(4000, 'a');
    const MassResonance added{added_name.c_str(), 20, {40, 0.1}};
    AddedMassResult result;
    MeasureError error;
    EXPECT_FALSE(fit_added_mass(free_name.c_str(), {38, 0.1}, &added, 1, result, error));
    EXPECT_EQ(error.message, added_name +
                                 ": resonance 40 Hz with the added mass is not below the "
                                 "free resonance 38 Hz of " +
                                 free_name);
}

} // namespace
