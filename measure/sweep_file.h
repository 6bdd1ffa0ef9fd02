// Impedance sweeps as measurement programs export them: rows of frequency, |Z| and, when the
// program writes it, the phase. Told apart by content, not by the file's extension.
#pragma once

#include "measure/buffer.h"
#include "measure/measure_error.h"

#include <cstddef>

constexpr std::size_t SWEEP_FILE_MAX_BYTES = 64u * 1024 * 1024;
constexpr std::size_t SWEEP_MAX_POINTS = 1000000;
constexpr std::size_t SWEEP_MIN_POINTS = 20;

struct SweepPoint {
    double frequency;           // Hz, never below the previous point's
    double magnitude;           // |Z| in ohm
    double phase;               // radians; 0 when the sweep has none
    double magnitude_error = 0; // standard error of |Z| in ohm; 0 when the sweep has none
};

struct Sweep {
    Buffer<SweepPoint> points;
    bool has_phase = false;
    bool has_errors = false; // a fourth column of standard errors, named in a title line
};

// A title or comment line before the numbers that holds this word (in any case) makes the
// fourth column the standard error of |Z|; otherwise a fourth column is left alone, as other
// programs write other things there.
constexpr const char *SWEEP_ERROR_COLUMN_WORD = "stderr";

// The file's text is in memory; name is how messages call it. False with error set when the
// text is not a usable sweep; nothing is thrown or printed.
bool read_sweep_text(const char *data, std::size_t size, const char *name, Sweep &sweep,
                     MeasureError &error);

// A driver data file has eleven lines at most: a file is taken for a sweep only when it has
// more, at least twelve of them rows of two or more numbers. False too for a file that cannot
// be read, which is then no sweep either.
constexpr int SWEEP_MIN_NUMERIC_ROWS = 12;
bool is_sweep_text(const char *data, std::size_t size);
bool is_sweep_file(const char *path);

// The same from a file, read in pieces, so that memory follows the points rather than the
// bytes. A file over SWEEP_FILE_MAX_BYTES is refused before anything is read (as soon as
// reading reaches the limit where the stream cannot tell its size); one over SWEEP_MAX_POINTS
// when reading reaches the point after the last allowed.
bool read_sweep_file(const char *path, Sweep &sweep, MeasureError &error);

// The sweep as text, as the reader reads it back to the same values: a title line, then
// frequency, |Z| and the phase in degrees, and the standard error of |Z| when the sweep has
// errors, one row per point, LF line ends. False when memory runs out.
bool sweep_to_text(const Sweep &sweep, MeasureText &text);

// The same text written to path with the safe save of base/text_file.h.
bool write_sweep_file(const char *path, const Sweep &sweep, MeasureError &error);
