#include "app/calc/calc_output.h"

std::string CalcOutput::begin() {
    if (format_ == CalcFormat::Csv)
        return csv_header();
    if (format_ == CalcFormat::Json) {
        json_.begin_object(JsonWriter::Layout::Lines);
        json_.key("drivers").begin_array(JsonWriter::Layout::Streamed);
        return json_.take();
    }
    return "";
}

std::string CalcOutput::add(const CalcResult &result) {
    const bool first = first_;
    first_ = false;
    if (format_ == CalcFormat::Csv)
        return csv_row(result);
    if (format_ == CalcFormat::Json) {
        json_driver(json_, result);
        return json_.take();
    }
    return (first ? "" : "\n") + text_report(result); // a blank line between drivers
}

std::string CalcOutput::end() {
    if (format_ != CalcFormat::Json)
        return "";
    json_.end_array();
    json_.end_object();
    return json_.take();
}
