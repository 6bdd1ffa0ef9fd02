// --devices, --record and --measure: the sound card, which the Windows build drives through
// winmm. Elsewhere the same options say which other programs record, and with what.
#pragma once

#include "app/calc/calc_impedance.h"
#include "app/calc/calc_options.h"

#include <string>

// Where this build cannot drive the sound card, each of these fails with a message that says
// what to run instead.

// --devices: the inputs and outputs by number.
bool list_devices(std::string &out, MeasureError &error);

// --record: plays the stimulus at the automatic level (or --play's file as it is) and writes
// what both inputs recorded; out says what was done.
bool record_to_file(const CalcOptions &o, std::string &out, MeasureError &error);

// --measure: the same with our stimulus, then the analysis of the recording.
bool measure_through_sound_card(const CalcOptions &o, const Corrections &c, AnalysedRecording &a,
                                MeasureError &error);
