// elemtrix-calc --box: the box designed for a driver, every figure with its standard error and
// the parameter that dominates it, as text, as the driver's "box" object in the JSON, and as a
// drawing of the response with its band, the excursion and the port's air speed.
#pragma once

#include "app/calc/calc_json.h"
#include "app/calc/calc_options.h"
#include "app/calc/calc_report.h"
#include "measure/fitted_covariance.h"

#include <memory>
#include <string>

struct CalcBox;

// The driver's box: from its value column with the tolerances' independent errors (null: none),
// or from the fitted values and their covariance with the typed values' tolerances folded in
// (fitted not null). False with the message set when the box means nothing for the driver.
bool design_calc_box(const BoxArgs &args, const CalcDriver &driver, const Tolerances *tolerances,
                     const CovariedDriver *fitted, std::shared_ptr<const CalcBox> &box,
                     MeasureError &error);

// The box's lines after the value column, in Swedish.
std::string box_report(const CalcBox &box);
// The driver's "box" member, with the drawing written (empty: none).
void json_box(JsonWriter &json, const CalcBox &box, const std::string &plot);
// The response with its 68 % and 95 % bands, the excursion against Xmax and the port's air
// speed against its limit, on one logarithmic frequency axis. The title is UTF-8.
std::string box_svg(const std::string &title, const CalcBox &box);
