// Any command line, its arguments the input's parts between zero bytes: parsing must end, stay
// inside every buffer, and either name a usage error or give drivers whose texts fit their
// fields; a driver made of the values must then come through the tolerance check and the
// propagation, and through the box asked for.
#include "app/calc/calc_box.h"
#include "app/calc/calc_options.h"
#include "app/calc/calc_report.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::vector<std::string> parts(1, "elemtrix-calc");
    parts.emplace_back();
    for (std::size_t i = 0; i < size; ++i)
        if (data[i] == 0)
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    std::vector<char *> argv;
    for (std::string &part : parts) {
        argv.push_back(&part[0]);
        // Whatever the bytes, what is shown of them is UTF-8.
        const std::string shown = valid_utf8(part);
        if (valid_utf8(shown) != shown)
            std::abort();
    }
    argv.push_back(nullptr);

    const CalcOptions o = parse_options(static_cast<int>(parts.size()), argv.data());
    if (!o.error.message.empty() || o.help || o.version)
        return 0;
    // The sound card's and the recordings' runs take no driver.
    if (o.stimulus_path || o.impedance_path || o.devices || o.record_path || o.measure)
        return 0;
    if (o.sources.empty() || (!o.plot_path.empty() && o.sources.size() != 1))
        std::abort();
    for (int line = 0; line < DRIVER_FILE_LINES; ++line)
        if (std::strlen(o.values.text[line]) >
            static_cast<std::size_t>(driver_file_line_limit(line)))
            std::abort();
    const CalcDriver d = calculate_driver("fuzz", o.values);
    MeasureError misfit;
    const bool fits = o.tolerance && tolerances_fit(o.tolerances, d.inputs, d.source, misfit);
    // The box, whatever the values: designed with its errors and drawn, or refused with a
    // message.
    if (o.box.kind != BoxKind::None && !o.sweep_path) {
        std::shared_ptr<const CalcBox> box;
        MeasureError refused;
        if (design_calc_box(o.box, d, fits ? &o.tolerances : nullptr, nullptr, box, refused)) {
            if (box_report(*box).empty() || box_svg("fuzz", *box).empty())
                std::abort();
        } else if (refused.message.empty()) {
            std::abort();
        }
    }
    if (!fits)
        return 0;
    const Uncertainties u = propagate_uncertainty(d.inputs, o.tolerances);
    for (const RowUncertainty &r : u.row)
        if (r.plus_minus < 0 || r.largest < -1 || r.largest >= INPUT_COUNT)
            std::abort();
    return 0;
}
