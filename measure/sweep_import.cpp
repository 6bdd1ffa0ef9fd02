#include "measure/sweep_import.h"

#include <cmath>
#include <utility>

namespace {

constexpr int FREE = 0, ADDED = 1;

int index(InputId id) {
    return static_cast<int>(id);
}

} // namespace

bool import_sweeps(const ImportRequest &request, SweepImport &result, MeasureError &error) {
    FitOptions options;
    options.Re = request.re;
    result.count = request.count;
    for (int i = 0; i < request.count; ++i) {
        ImportedSweep &s = result.sweeps[i];
        s.path = request.paths[i];
        s.mass = 0;
        const bool read = request.given[i] ? copy_sweep(*request.given[i], s.sweep) ||
                                                 measure_error(error, s.path, 0, "out of memory",
                                                               u8"minnet räcker inte")
                                           : read_sweep_file(s.path, s.sweep, error);
        if (!read || !fit_sweep(s.sweep, s.path, options, s.fit, error))
            return false;
    }
    const bool added = request.count == IMPORT_MAX_SWEEPS;
    if (added) {
        // The mass lowers the resonance: the other sweep is the free-air one.
        if (result.sweeps[ADDED].fit.Fs.value > result.sweeps[FREE].fit.Fs.value)
            std::swap(result.sweeps[FREE], result.sweeps[ADDED]);
        ImportedSweep &free = result.sweeps[FREE], &loaded = result.sweeps[ADDED];
        loaded.mass = request.added_mass;
        const char *names[IMPORT_MAX_SWEEPS] = {free.path, loaded.path};
        const SweepFit *fits[IMPORT_MAX_SWEEPS] = {&free.fit, &loaded.fit};
        const double masses[IMPORT_MAX_SWEEPS] = {0, loaded.mass};
        if (!fit_added_masses(names, fits, masses, IMPORT_MAX_SWEEPS, result.line, result.joint,
                              error))
            return false;
    }

    const SweepFit &free = result.sweeps[FREE].fit;
    // A Vas that is typed stays: only its absence lets the compliance give one.
    const double typed_vas = request.vas_empty ? NAN : 0;
    result.fields = driver_fields(free, added ? &result.joint : nullptr, request.sd, typed_vas);
    result.texts = DriverInputs{};
    if (!set_field_texts(result.fields, result.sweeps[FREE].path, result.texts, error))
        return false;

    bool *fill = result.fill;
    for (int i = 0; i < INPUT_COUNT; ++i)
        fill[i] = false;
    for (InputId id : {InputId::Fs, InputId::Zmax, InputId::Qms, InputId::Qes, InputId::Qts})
        fill[index(id)] = true;
    fill[index(InputId::Re)] = !free.re_given;
    fill[index(InputId::FsAdded)] = added;
    fill[index(InputId::Vas)] = result.fields.vas_from_compliance;
    result.vas_without_sd = added && request.vas_empty && !result.fields.vas_from_compliance;
    return true;
}

bool fit_near_sweep_end(const ImportedSweep &s) {
    const double fs = s.fit.Fs.value;
    return fs < s.sweep.points.front().frequency * UNTRUSTED_EDGE_RATIO ||
           fs > s.sweep.points.back().frequency / UNTRUSTED_EDGE_RATIO;
}
