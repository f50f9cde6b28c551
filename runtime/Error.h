#pragma once

#include <stdexcept>

namespace runtime {

// The one error type the runtime raises. Nothing in the program catches it:
// it travels up to an error boundary, runHandler for the windows or
// runCommand for the command line (Runtime.h), which reports it and ends the
// program.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace runtime
