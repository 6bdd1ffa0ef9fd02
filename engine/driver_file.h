// The driver data file: the name and the ten input texts, one line each, CR LF after every line.
#pragma once

constexpr int DRIVER_FILE_LINES = 11;
constexpr int DRIVER_FILE_SCAN_LIMIT = 250; // characters of a file that are looked at
constexpr int DRIVER_NAME_LIMIT = 100;
constexpr int DRIVER_LINE_SIZE = DRIVER_NAME_LIMIT + 1;

struct DriverFileLines {
    char text[DRIVER_FILE_LINES][DRIVER_LINE_SIZE];
    int count; // lines the file holds, 0 to 11
};

// Characters the field of a line admits: the name 100, the inputs their text limit.
int driver_file_line_limit(int line);

// Splits a file's text (LF or CR LF line ends) into its first eleven lines, each cut to the
// limit of its field.
DriverFileLines split_driver_file(const char *text);

// False when the file cannot be read; lines then holds no line.
bool read_driver_file(const char *path, DriverFileLines &lines);

// Writes the eleven texts, each cut to its field's limit, with CR or LF inside a text written
// as a blank; the earlier file is replaced only once the new one is complete and on disk, so a
// failed save leaves it as it was.
bool write_driver_file(const char *path, const char *const texts[DRIVER_FILE_LINES]);
