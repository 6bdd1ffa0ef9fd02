// The ten input texts as a measurement would fill the window's fields, and their tolerances.
#pragma once

#include "engine/driver.h"
#include "engine/uncertainty.h"
#include "measure/added_mass.h"
#include "measure/sweep_fit.h"

// The value as the field would hold it: plain decimals rounded to as many significant digits
// as the limit's characters hold, without trailing zeros or a trailing point ("30",
// "0.451235", "1234.568"); a minus sign takes one of the characters. False, and the text
// empty, for a value that is not finite or whose whole part does not fit (1e8 and above for
// 8 characters): an exponent would not be read as a number by the window's input check.
// A value that rounds to zero at the field's last digit is "0".
bool field_text(double value, int limit, char (&text)[INPUT_TEXT_SIZE]);

// The ten values in InputId order; a NaN value leaves its field empty. Errors are standard
// errors: 0 for given values, NaN where none is known.
struct DriverFields {
    Estimate input[INPUT_COUNT];
    bool vas_from_compliance;
};

// Re (given or fitted), Fs, Zmax, Qms, Qes and Qts from the free sweep; FsAdded and AddedMass
// from the joint fit of the added-mass sweeps (null: none); Sd and Vas as given (NaN: not given).
// Vas not given comes from the compliance and Sd when both are there.
DriverFields driver_fields(const SweepFit &free, const JointMassFit *added, double sd_cm2,
                           double vas_litre);

// Fills the ten texts; a NaN value leaves its field empty. False with error set ("NAME: Fs
// 1.3e+08 does not fit its field of 8 characters") for the first value that has no text.
bool set_field_texts(const DriverFields &fields, const char *name, DriverInputs &inputs,
                     MeasureError &error);

// Each value's standard error as its absolute tolerance, for propagate_uncertainty. A NaN
// error (one the sweep could not tell) stays NaN, and propagate_uncertainty leaves that input
// out as it does one without a tolerance. The fitted values' correlations are not carried:
// the tolerances count as independent.
Tolerances field_tolerances(const DriverFields &fields);
