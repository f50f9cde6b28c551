#pragma once

#include <exception>
#include <string>

namespace runtime {

// The one error type the runtime raises. Nothing in the program catches it:
// it travels up to an error boundary, runHandler for the windows or
// runCommand for the command line (Runtime.h), which reports it and ends the
// program. It keeps its words in a plain string: the standard library's own
// error classes bring a second kind of string into a Windows program.
class Error : public std::exception {
public:
    explicit Error(std::string what) : what_(std::move(what)) {}
    const char* what() const noexcept override { return what_.c_str(); }

private:
    std::string what_;
};

} // namespace runtime
