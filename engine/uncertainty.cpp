#include "engine/uncertainty.h"

#include <cmath>

// The central-difference step as a share of the value: far inside the formulas' domain whatever
// the tolerance, never across zero, and large enough that rounding in the formulas stays far
// below it.
constexpr double STEP_SHARE = 1e-6;
constexpr double PERCENT = 100.0;

double absolute_tolerance(const InputTolerance &tolerance, double value) {
    return tolerance.percent ? std::fabs(value) * tolerance.amount / PERCENT : tolerance.amount;
}

bool tolerance_fits(const InputTolerance &tolerance, double value) {
    const double sigma = absolute_tolerance(tolerance, value);
    // A subnormal value would give a step of 0.
    return sigma == 0 || (std::isnormal(value) && sigma <= std::fabs(value));
}

static void row_values(const DriverInputs &inputs, double (&values)[VALUE_ROW_COUNT]) {
    const DriverResults results = compute_results(inputs);
    for (int row = 0; row < VALUE_ROW_COUNT; ++row)
        values[row] = value_row(row, inputs, results).value;
}

Uncertainties propagate_uncertainty(const DriverInputs &inputs, const Tolerances &tolerances) {
    double sum_of_squares[VALUE_ROW_COUNT] = {};
    double largest_share[VALUE_ROW_COUNT] = {};
    Uncertainties u;
    for (RowUncertainty &r : u.row)
        r.largest = -1;

    DriverInputs moved = inputs;
    for (int i = 0; i < INPUT_COUNT; ++i) {
        const double x = inputs.entry[i].value;
        const double sigma = absolute_tolerance(tolerances.input[i], x);
        if (!(sigma > 0))
            continue;
        const double h = std::fabs(x) * STEP_SHARE;
        double up[VALUE_ROW_COUNT], down[VALUE_ROW_COUNT];
        moved.entry[i].value = x + h;
        row_values(moved, up);
        moved.entry[i].value = x - h;
        row_values(moved, down);
        moved.entry[i].value = x;
        for (int row = 0; row < VALUE_ROW_COUNT; ++row) {
            // An input's own row moves one to one; a difference would only add rounding.
            const double share = row == i && i < SHOWN_INPUT_COUNT
                                     ? sigma
                                     : std::fabs((up[row] - down[row]) / (2 * h)) * sigma;
            sum_of_squares[row] += share * share;
            if (share > largest_share[row]) {
                largest_share[row] = share;
                u.row[row].largest = i;
            }
        }
    }
    double values[VALUE_ROW_COUNT];
    row_values(inputs, values);
    for (int row = 0; row < VALUE_ROW_COUNT; ++row)
        u.row[row].plus_minus = std::isfinite(values[row]) ? std::sqrt(sum_of_squares[row]) : NAN;
    return u;
}
