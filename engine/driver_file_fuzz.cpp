// Any bytes as a driver data file: splitting and reading must stay inside every buffer and end.
#include "engine/driver_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

static void check_lines(const DriverFileLines &lines) {
    if (lines.count < 0 || lines.count > DRIVER_FILE_LINES)
        std::abort();
    for (int i = 0; i < DRIVER_FILE_LINES; ++i)
        if (std::strlen(lines.text[i]) > static_cast<std::size_t>(driver_file_line_limit(i)))
            std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    check_lines(split_driver_file(text.c_str()));

    // The reader takes a path: a file in memory spares the disk a write per input.
    static const int fd = memfd_create("driver-file", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    DriverFileLines read;
    if (!read_driver_file(path.c_str(), read))
        std::abort();
    check_lines(read);
    return 0;
}
