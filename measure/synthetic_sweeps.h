// For the tests: the synthetic sweeps that scripts/make-sweeps.py writes into sweeps/ of the
// build folder at build time, with the values they were made from.
#pragma once

#include "measure/sweep_fit.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct SyntheticSweep {
    std::string file, group, driver, coil, grid;
    bool phase, noisy;
    double Re, Fs, Qms, Qes, Le, R2, L2, mass, Mms, K, beta;

    double Zmax() const { return Re * (1 + Qms / Qes); }
    double Qts() const { return Qms * Qes / (Qms + Qes); }
    std::string path() const { return "sweeps/" + file; }
};

inline std::vector<SyntheticSweep> synthetic_sweeps(const std::string &group) {
    std::vector<SyntheticSweep> rows;
    std::ifstream in("sweeps/manifest.tsv");
    std::string line;
    std::getline(in, line); // column names
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        SyntheticSweep s;
        fields >> s.file >> s.group >> s.driver >> s.coil >> s.grid >> s.phase >> s.noisy >> s.Re >>
            s.Fs >> s.Qms >> s.Qes >> s.Le >> s.R2 >> s.L2 >> s.mass >> s.Mms >> s.K >> s.beta;
        if (fields && s.group == group)
            rows.push_back(s);
    }
    EXPECT_FALSE(rows.empty()) << "no " << group << " sweeps in sweeps/manifest.tsv";
    return rows;
}

inline SweepFit fit_synthetic(const SyntheticSweep &s, const FitOptions &options = {}) {
    Sweep sweep;
    MeasureError error;
    SweepFit fit{};
    EXPECT_TRUE(read_sweep_file(s.path().c_str(), sweep, error)) << error.message;
    EXPECT_TRUE(fit_sweep(sweep, s.file.c_str(), options, fit, error)) << error.message;
    return fit;
}
