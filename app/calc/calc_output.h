// elemtrix-calc's output in the format asked for, made as the drivers come, so that each is
// printed once it is done: what opens the output, each driver with what separates it from the
// one before, and what closes the output.
#pragma once

#include "app/calc/calc_json.h"
#include "app/calc/calc_options.h"
#include "app/calc/calc_report.h"

#include <string>

class CalcOutput {
  public:
    explicit CalcOutput(CalcFormat format) : format_(format) {}

    std::string begin();
    std::string add(const CalcResult &result);
    std::string end();

  private:
    CalcFormat format_;
    JsonWriter json_;
    bool first_ = true;
};
