#pragma once

// The user's choice of the device for LPT1, and small text helpers. Nothing
// here is of one system, apart from reading a file.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iodll {

// The device the user chose for LPT1: "DEVICE [relays=N]", or a GPIO chip
// and its lines, "CHIP lines=A,B,... [active-low]".
struct Setting {
    std::string device = {}; // a path, a relay board's ID, or a GPIO chip
    int relays = 1;          // of a serial module
    std::vector<std::string> lines = {}; // GPIO lines carrying D0, D1, ...
    bool activeLow = false;
    std::string source = {}; // where it was set
    std::string error = {};  // set when the line can't be used
};

using Environment = std::function<std::optional<std::string>(const char* name)>;

// VENTROLIK_LPT1, else the line LPT1=... in the configuration file. What in
// the file can't be used (a line not understood, a file that can't be read)
// is added to problems, with the file and the line.
std::optional<Setting> lpt1Setting(const Environment& environment, const std::string& configFile,
                                   std::vector<std::string>& problems);

// The lines of a setting file's text as people save it: UTF-8 with or
// without a byte order mark, or UTF-16 with one; LF or CRLF.
std::vector<std::string> settingLines(std::string_view bytes);

// A file's bytes, or nothing when it can't be read: then `error` says why,
// and stays empty when there is no such file. Each system has its own.
std::optional<std::string> readText(const std::string& file, std::string* error = nullptr);

// A value as a message shows it: at most about 80 characters, with what
// can't be shown replaced.
std::string shown(std::string_view value);
// A message with every control character in it (C0, DEL, and C1 as UTF-8
// writes it) replaced by '?', so that no value from outside reaches a
// terminal as a command to it.
std::string printable(std::string_view message);

std::string trimmed(std::string text);
// "parport0" of "/dev/parport0".
inline std::string fileName(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}
// The words of a line, as blanks part them.
std::vector<std::string> words(std::string_view line);
std::string hex(unsigned value);

} // namespace iodll
