#include "measure/wav_file.h"

#include "base/text_file.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint16_t FORMAT_PCM = 1;
constexpr std::uint16_t FORMAT_FLOAT = 3;
constexpr std::uint16_t FORMAT_EXTENSIBLE = 0xFFFE;
// The GUID of an extensible format's subformat after its first two bytes, which hold the
// plain format code.
constexpr unsigned char SUBFORMAT_TAIL[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                              0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::size_t FMT_PLAIN_SIZE = 16;
constexpr std::size_t FMT_EXTENSIBLE_SIZE = 40;
constexpr std::size_t CONVERT_FRAMES = 4096; // frames converted per piece read

std::uint16_t u16(const unsigned char *p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t u32(const unsigned char *p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Where the bytes come from: memory or a file, read at any offset.
class Source {
  public:
    Source(const unsigned char *data, std::size_t size) : data_(data), size_(size) {}
    Source(std::FILE *file, std::size_t size) : file_(file), size_(size) {}

    std::size_t size() const { return size_; }
    // Exactly count bytes at offset, or false.
    bool read(std::size_t offset, void *out, std::size_t count) {
        if (offset > size_ || count > size_ - offset)
            return false;
        if (!file_) {
            std::memcpy(out, data_ + offset, count);
            return true;
        }
        if (offset > static_cast<std::size_t>(LONG_MAX_OFFSET) ||
            std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0)
            return false;
        return std::fread(out, 1, count, file_) == count;
    }

  private:
    static constexpr long LONG_MAX_OFFSET = 0x7FFFFFFF;
    const unsigned char *data_ = nullptr;
    std::FILE *file_ = nullptr;
    std::size_t size_;
};

struct Format {
    std::uint16_t code; // FORMAT_PCM or FORMAT_FLOAT, the extensible one's subformat
    int channels;
    std::uint32_t rate;
    int bits;
    std::size_t block;
};

class WavReader {
  public:
    WavReader(Source &source, const char *name, Recording &recording, MeasureError &error)
        : source_(source), name_(name), recording_(recording), error_(error) {}

    bool read() {
        unsigned char header[12];
        if (!source_.read(0, header, sizeof header))
            return fail("too short for a WAV file (%zu bytes)",
                        u8"för kort för en WAV-fil (%zu byte)", source_.size());
        if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
            return fail("not a WAV file (no RIFF/WAVE header)",
                        u8"ingen WAV-fil (inget RIFF/WAVE-huvud)");
        // The RIFF size is not trusted: recorders that were stopped leave it wrong, and the
        // chunks' own sizes say all that is needed.
        bool have_format = false;
        std::size_t data_at = 0, data_size = 0;
        bool have_data = false;
        std::size_t at = sizeof header;
        while (at + 8 <= source_.size() && !(have_format && have_data)) {
            unsigned char chunk[8];
            if (!source_.read(at, chunk, sizeof chunk))
                return fail("cannot read at byte %zu", u8"kan inte läsas vid byte %zu", at);
            const std::size_t size = u32(chunk + 4);
            const std::size_t body = at + 8;
            if (std::memcmp(chunk, "fmt ", 4) == 0) {
                if (have_format)
                    return fail("two format chunks", u8"två formatblock");
                if (!read_format(body, size))
                    return false;
                have_format = true;
            } else if (std::memcmp(chunk, "data", 4) == 0) {
                if (have_data)
                    return fail("two data chunks", u8"två datablock");
                if (size > source_.size() - body)
                    return fail("truncated: the data chunk holds %zu bytes, the file %zu after it",
                                u8"avkortad: datablocket har %zu byte, filen %zu efter det", size,
                                source_.size() - body);
                data_at = body;
                data_size = size;
                have_data = true;
            }
            // Chunks are padded to an even length.
            if (size > source_.size() - body)
                break;
            at = body + size + (size & 1);
        }
        if (!have_format)
            return fail("no format chunk", u8"inget formatblock");
        if (!have_data)
            return fail("no data chunk", u8"inget datablock");
        return read_samples(data_at, data_size);
    }

  private:
    bool fail(const char *english, const char *swedish, ...) {
        std::va_list args;
        va_start(args, swedish);
        set_measure_error(error_, name_, 0, english, swedish, args);
        va_end(args);
        return false;
    }

    bool read_format(std::size_t at, std::size_t size) {
        if (size < FMT_PLAIN_SIZE)
            return fail("format chunk too short (%zu bytes)", u8"formatblocket för kort (%zu byte)",
                        size);
        unsigned char fmt[FMT_EXTENSIBLE_SIZE] = {};
        const std::size_t wanted = size < FMT_EXTENSIBLE_SIZE ? size : FMT_EXTENSIBLE_SIZE;
        if (!source_.read(at, fmt, wanted))
            return fail("truncated in the format chunk", u8"avkortad i formatblocket");
        format_.code = u16(fmt);
        format_.channels = u16(fmt + 2);
        format_.rate = u32(fmt + 4);
        format_.block = u16(fmt + 12);
        format_.bits = u16(fmt + 14);
        if (format_.code == FORMAT_EXTENSIBLE) {
            if (size < FMT_EXTENSIBLE_SIZE)
                return fail("extensible format chunk too short (%zu bytes)",
                            u8"utökat formatblock för kort (%zu byte)", size);
            if (std::memcmp(fmt + 26, SUBFORMAT_TAIL, sizeof SUBFORMAT_TAIL) != 0)
                return fail("unknown extensible subformat", u8"okänt utökat delformat");
            format_.code = u16(fmt + 24);
        }
        if (format_.code != FORMAT_PCM && format_.code != FORMAT_FLOAT)
            return fail("format %u is neither PCM nor IEEE float",
                        u8"format %u är varken PCM eller IEEE-flyttal", unsigned(format_.code));
        const bool known_bits = format_.code == FORMAT_PCM
                                    ? format_.bits == 16 || format_.bits == 24 || format_.bits == 32
                                    : format_.bits == 32;
        if (!known_bits)
            return fail("%d-bit %s samples are not read (16, 24 or 32-bit PCM, 32-bit float)",
                        u8"%d-bitars %s läses inte (16, 24 eller 32 bitars PCM, 32 bitars flyttal)",
                        format_.bits, format_.code == FORMAT_PCM ? "PCM" : "float");
        if (format_.channels < 2)
            return fail("%d channel: a recording of both inputs needs two",
                        u8"%d kanal: en inspelning av båda ingångarna behöver två",
                        format_.channels);
        if (format_.channels > WAV_MAX_CHANNELS)
            return fail("%d channels, more than %d", u8"%d kanaler, fler än %d", format_.channels,
                        WAV_MAX_CHANNELS);
        if (format_.rate < WAV_MIN_RATE || format_.rate > WAV_MAX_RATE)
            return fail("sample rate %lu Hz outside %u to %u Hz",
                        u8"samplingsfrekvensen %lu Hz utanför %u till %u Hz",
                        static_cast<unsigned long>(format_.rate), WAV_MIN_RATE, WAV_MAX_RATE);
        if (format_.block != static_cast<std::size_t>(format_.channels) * (format_.bits / 8))
            return fail("block size %zu does not match %d channels of %d bits",
                        u8"blockstorleken %zu passar inte %d kanaler om %d bitar", format_.block,
                        format_.channels, format_.bits);
        return true;
    }

    double sample(const unsigned char *p) const {
        switch (format_.bits) {
        case 16: return static_cast<std::int16_t>(u16(p)) / 32768.0;
        case 24: {
            const std::int32_t v = static_cast<std::int32_t>(u32_from24(p) << 8) >> 8;
            return v / 8388608.0;
        }
        default:
            if (format_.code == FORMAT_FLOAT) {
                float f;
                const std::uint32_t bits = u32(p);
                std::memcpy(&f, &bits, sizeof f);
                return f;
            }
            return static_cast<std::int32_t>(u32(p)) / 2147483648.0;
        }
    }

    static std::uint32_t u32_from24(const unsigned char *p) {
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16;
    }

    bool read_samples(std::size_t at, std::size_t size) {
        if (size % format_.block != 0)
            return fail("the data chunk ends inside a frame (%zu bytes, frames of %zu)",
                        u8"datablocket slutar inne i en ram (%zu byte, ramar om %zu)", size,
                        format_.block);
        const std::size_t frames = size / format_.block;
        if (frames == 0)
            return fail("no samples", u8"inga sampel");
        if (frames > WAV_MAX_FRAMES)
            return fail("%zu frames, more than %zu (%.0f s at this rate)",
                        u8"%zu ramar, fler än %zu (%.0f s vid denna frekvens)", frames,
                        WAV_MAX_FRAMES, double(WAV_MAX_FRAMES) / format_.rate);
        recording_.left.clear();
        recording_.right.clear();
        Buffer<unsigned char> piece;
        if (!recording_.left.resize(frames) || !recording_.right.resize(frames) ||
            !piece.resize(CONVERT_FRAMES * format_.block))
            return fail("out of memory", u8"minnet räcker inte");
        const std::size_t width = static_cast<std::size_t>(format_.bits / 8);
        for (std::size_t done = 0; done < frames;) {
            const std::size_t count =
                frames - done < CONVERT_FRAMES ? frames - done : CONVERT_FRAMES;
            if (!source_.read(at + done * format_.block, piece.data(), count * format_.block))
                return fail("cannot read at byte %zu", u8"kan inte läsas vid byte %zu",
                            at + done * format_.block);
            for (std::size_t i = 0; i < count; ++i) {
                const unsigned char *frame = piece.data() + i * format_.block;
                const double l = sample(frame), r = sample(frame + width);
                if (!std::isfinite(l) || !std::isfinite(r))
                    return fail("sample %zu is not a finite number",
                                u8"sampel %zu är inget ändligt tal", done + i + 1);
                recording_.left[done + i] = l;
                recording_.right[done + i] = r;
            }
            done += count;
        }
        recording_.rate = format_.rate;
        recording_.channels = format_.channels;
        recording_.bits = format_.bits;
        recording_.is_float = format_.code == FORMAT_FLOAT;
        return true;
    }

    Source &source_;
    const char *name_;
    Recording &recording_;
    MeasureError &error_;
    Format format_{};
};

void put16(unsigned char *p, unsigned v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char *p, std::uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

std::int16_t to_pcm16(double x) {
    const double v = std::nearbyint(x * 32768.0);
    if (!(v > -32768.0)) // NaN too
        return -32768;
    return v > 32767.0 ? 32767 : static_cast<std::int16_t>(v);
}

} // namespace

bool read_wav_data(const unsigned char *data, std::size_t size, const char *name,
                   Recording &recording, MeasureError &error) {
    Source source(data, size);
    return WavReader(source, name, recording, error).read();
}

bool read_wav_file(const char *path, Recording &recording, MeasureError &error) {
    std::FILE *file = std::fopen(path, "rb");
    if (!file)
        return measure_error(error, path, 0, "cannot open: %s", u8"kan inte öppnas: %s",
                             std::strerror(errno));
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    if (size < 0) {
        std::fclose(file);
        return measure_error(error, path, 0, "cannot tell its size",
                             u8"storleken kan inte avgöras");
    }
    Source source(file, static_cast<std::size_t>(size));
    const bool ok = WavReader(source, path, recording, error).read();
    std::fclose(file);
    return ok;
}

bool make_wav_data(unsigned rate, const double *left, const double *right, std::size_t frames,
                   WavFormat format, Buffer<unsigned char> &out) {
    const bool pcm = format == WavFormat::PCM16;
    const unsigned width = pcm ? 2 : 4, block = 2 * width;
    const std::size_t fmt_size = pcm ? FMT_PLAIN_SIZE : 18; // float carries cbSize = 0
    const std::size_t header = 12 + 8 + fmt_size + 8;
    if (frames > WAV_MAX_FRAMES || !out.resize(header + frames * block))
        return false;
    const std::size_t data_size = frames * block;
    unsigned char *p = out.data();
    std::memcpy(p, "RIFF", 4);
    put32(p + 4, static_cast<std::uint32_t>(out.size() - 8));
    std::memcpy(p + 8, "WAVEfmt ", 8);
    put32(p + 16, static_cast<std::uint32_t>(fmt_size));
    put16(p + 20, pcm ? FORMAT_PCM : FORMAT_FLOAT);
    put16(p + 22, 2);
    put32(p + 24, rate);
    put32(p + 28, rate * block);
    put16(p + 32, block);
    put16(p + 34, width * 8);
    if (!pcm)
        put16(p + 36, 0);
    p += 20 + fmt_size;
    std::memcpy(p, "data", 4);
    put32(p + 4, static_cast<std::uint32_t>(data_size));
    p += 8;
    for (std::size_t i = 0; i < frames; ++i) {
        const double pair[2] = {left[i], right[i]};
        for (double x : pair) {
            if (pcm) {
                put16(p, static_cast<std::uint16_t>(to_pcm16(x)));
            } else {
                const float f = static_cast<float>(x);
                std::uint32_t bits;
                std::memcpy(&bits, &f, sizeof bits);
                put32(p, bits);
            }
            p += width;
        }
    }
    return true;
}

bool write_wav_file(const char *path, unsigned rate, const double *left, const double *right,
                    std::size_t frames, WavFormat format, MeasureError &error) {
    Buffer<unsigned char> bytes;
    if (!make_wav_data(rate, left, right, frames, format, bytes))
        return measure_error(error, path, 0, "out of memory or over %zu frames",
                             u8"minnet räcker inte eller fler än %zu ramar", WAV_MAX_FRAMES);
    if (!wt_save_whole_file(path, reinterpret_cast<const char *>(bytes.data()), bytes.size()))
        return measure_error(error, path, 0, "cannot be written", u8"kan inte skrivas");
    return true;
}
