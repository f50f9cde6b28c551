#pragma once

// Each setting's check, written once for the command line and the setting
// file, which name the settings each in their own way.

#include "Setting.h"

#include <string>
#include <string_view>

namespace thermostat::checks {

enum class Spelling { options, file };

// A setting as the user wrote it, quoted: '--min-run', or 'min_run' (the
// file's own key).
std::string named(Spelling spelling, std::string_view key);

// "'--on' takes a temperature in °C, not '5O'"
std::string wrong(Spelling spelling, std::string_view key, std::string_view takes, std::string_view value);

// Each takes a value into its place, or says what it takes.
std::string celsius(double value, std::optional<double>& into);
std::string seconds(std::string_view key, double value, Clock::duration& into);
std::string url(std::string_view value, Broker& into);
std::string id(std::string_view value, std::string& into);
std::string name(std::string_view value, std::string& into);
std::string prefix(std::string_view value, std::string& into);
std::string file(std::string_view value, std::string& into);
std::string sensor(std::string_view value, std::vector<std::string>& into);
std::string line(std::string_view value, int& into);

// What is wrong with the settings as a whole, and where: the fan's line in
// the file.
struct Fault {
    std::string text;
    int where = 0;
};
Fault whole(const Settings& settings, Spelling spelling);

} // namespace thermostat::checks
