// Two-channel recordings in WAV files: RIFF/WAVE with PCM of 16, 24 or 32 bits or IEEE float of
// 32 bits, plain or WAVE_FORMAT_EXTENSIBLE, two or more channels, 8 to 192 kHz. The first two
// channels are kept, as the two inputs of the impedance jig; further ones are skipped. Nothing
// here throws or uses std containers, so that the window program can read a recording too.
#pragma once

#include "measure/buffer.h"
#include "measure/measure_error.h"

#include <cstddef>

constexpr unsigned WAV_MIN_RATE = 8000;
constexpr unsigned WAV_MAX_RATE = 192000;
constexpr int WAV_MAX_CHANNELS = 32;
// 2^23 frames: 174 s at 48 kHz, 43 s at 192 kHz; the two kept channels take 128 MB as doubles.
constexpr std::size_t WAV_MAX_FRAMES = std::size_t(1) << 23;

struct Recording {
    unsigned rate = 0; // frames per second
    int channels = 0;  // in the file; left and right are its first two
    int bits = 0;      // per sample in the file: 16, 24 or 32
    bool is_float = false;
    Buffer<double> left, right; // full scale ±1: integers as value/2^(bits−1), floats as stored

    std::size_t frames() const { return left.size(); }
    double seconds() const { return rate ? double(frames()) / rate : 0; }
};

// The file's bytes are in memory; name is how messages call it ("NAME: text"). False with error
// set when they are not a recording this reader takes; nothing is thrown or printed.
bool read_wav_data(const unsigned char *data, std::size_t size, const char *name,
                   Recording &recording, MeasureError &error);

// The same from a file, which is read in pieces: only the kept channels are held.
bool read_wav_file(const char *path, Recording &recording, MeasureError &error);

enum class WavFormat { PCM16, FLOAT32 };

// A two-channel WAV file's bytes. 16-bit PCM rounds each sample to the nearest step and holds
// values beyond full scale at its ends. False only when memory runs out or frames is over the
// bound.
bool make_wav_data(unsigned rate, const double *left, const double *right, std::size_t frames,
                   WavFormat format, Buffer<unsigned char> &out);

// The same written to path with the safe save of base/text_file.h: the old file stays until the
// new one is whole.
bool write_wav_file(const char *path, unsigned rate, const double *left, const double *right,
                    std::size_t frames, WavFormat format, MeasureError &error);
