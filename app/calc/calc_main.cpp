// elemtrix-calc: computes drivers from their data files exactly as the window would.
#include "app/calc/calc_report.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

constexpr int EXIT_ALL_READ = 0;
constexpr int EXIT_UNREADABLE = 1;
constexpr int EXIT_USAGE = 2;

static const char USAGE[] = "usage: elemtrix-calc [--csv] FILE.spk...\n";

static void write_out(const std::string &text) { std::fwrite(text.data(), 1, text.size(), stdout); }

int main(int argc, char **argv) {
#ifdef _WIN32
    // The same bytes as on Linux: UTF-8 with LF line ends.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    bool csv = false;
    std::vector<const char *> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--csv") == 0)
            csv = true;
        else if (argv[i][0] == '-' && argv[i][1] == '-') {
            std::fprintf(stderr, "elemtrix-calc: unknown option %s\n%s", argv[i], USAGE);
            return EXIT_USAGE;
        } else
            files.push_back(argv[i]);
    }
    if (files.empty()) {
        std::fputs(USAGE, stderr);
        return EXIT_USAGE;
    }
    int status = EXIT_ALL_READ;
    if (csv)
        write_out(csv_header());
    bool first = true;
    for (const char *path : files) {
        DriverFileLines lines;
        if (!read_driver_file(path, lines)) {
            std::fprintf(stderr, "elemtrix-calc: cannot read %s\n", path);
            status = EXIT_UNREADABLE;
            continue;
        }
#ifdef _WIN32
        const std::string source = cp1252_to_utf8(path); // an ANSI command line
#else
        const std::string source = path;
#endif
        const CalcDriver driver = calculate_driver(source, lines);
        if (csv) {
            write_out(csv_row(driver));
        } else {
            if (!first)
                write_out("\n");
            write_out(text_report(driver));
        }
        first = false;
    }
    return status;
}
