#include "app/calc/calc_output.h"

std::string CalcOutput::begin() {
    switch (format_) {
    case CalcFormat::Text: break;
    case CalcFormat::Csv: return csv_header();
    case CalcFormat::Json:
        json_.begin_object(JsonWriter::Layout::Lines);
        json_.key("drivers");
        json_.begin_array(JsonWriter::Layout::Streamed);
        return json_.take();
    }
    return "";
}

std::string CalcOutput::add(const CalcResult &result) {
    const bool first = first_;
    first_ = false;
    switch (format_) {
    case CalcFormat::Text: return (first ? "" : "\n") + text_report(result);
    case CalcFormat::Csv: return csv_row(result);
    case CalcFormat::Json: json_driver(json_, result); return json_.take();
    }
    return "";
}

std::string CalcOutput::end() {
    if (format_ != CalcFormat::Json)
        return "";
    json_.end_array();
    json_.end_object();
    return json_.take();
}
