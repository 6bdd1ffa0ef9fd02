// Any bytes as a driver data file: reading must stay inside every buffer and end.
#include "engine/driver_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    const DriverFileLines split = split_driver_file(text.c_str());
    if (split.count < 0 || split.count > DRIVER_FILE_LINES)
        std::abort();
    for (int i = 0; i < DRIVER_FILE_LINES; ++i)
        if (std::strlen(split.text[i]) > static_cast<std::size_t>(driver_file_line_limit(i)))
            std::abort();

    static const std::string path = "/tmp/elemtrix-fuzz-" + std::to_string(getpid()) + ".spk";
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    DriverFileLines read;
    if (!read_driver_file(path.c_str(), read) || read.count > DRIVER_FILE_LINES)
        std::abort();
    return 0;
}
