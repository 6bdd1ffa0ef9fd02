// The fitted driver's values with their covariance, for what is worked out from several of them
// at once (a box): values fitted to the same sweeps are correlated, and Vas from the compliance
// goes with Sd².
#pragma once

#include "measure/added_mass.h"
#include "measure/model_fit.h"

enum CovariedValue {
    CV_RE, // ohm
    CV_FS, // Hz
    CV_QMS,
    CV_QES,
    CV_QTS,
    CV_MMS, // gram
    CV_CMS, // m/N
    CV_BL,  // T·m
    CV_SD,  // cm²
    CV_VAS, // litre
    COVARIED_COUNT
};

struct CovariedDriver {
    double value[COVARIED_COUNT]; // NaN where the measurement has none
    double covariance[COVARIED_COUNT][COVARIED_COUNT];
    bool vas_from_compliance;
};

// Re, Fs and the Q's from the free-air sweep, Mms, Cms and Bl from the joint fit of the
// added-mass sweeps (null: none, and they are NaN); their standard errors as reported, widened
// where the model misfits, and their correlations from the one fit that holds them all (the
// joint fit when there is one). Sd, and Vas when it is given (NaN: from Cms and Sd), are typed
// values whose error, 0 when they count as exact, is independent of the fit's. A given Re
// counts as its tolerance says only where Re itself enters.
CovariedDriver covaried_driver(const SweepFit &free, const JointMassFit *joint, Estimate re,
                               Estimate sd, Estimate vas);
