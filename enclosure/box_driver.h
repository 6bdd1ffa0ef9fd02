// The driver that a box is designed for, from the calculator's ten inputs or from a fit of
// measured sweeps, in the box's units and order.
#pragma once

#include "enclosure/box.h"
#include "engine/driver.h"
#include "measure/fitted_covariance.h"

// Fs, Qts, Vas, Qes, Re and Sd as the value column shows them, Bl and Mms from its formulas;
// SI units.
void box_parameters_of(const DriverInputs &inputs, double (&parameters)[DRIVER_PARAMETER_COUNT]);

// The fitted values and their covariance, SI units.
void box_driver_from_fit(const CovariedDriver &fit, BoxDriver &driver);

// A value that is not finite or not above 0 is unknown to the design: optional ones become 0,
// and no covariance is kept for them. known says which are known.
void mark_unknown_parameters(BoxDriver &driver, bool (&known)[DRIVER_PARAMETER_COUNT]);
