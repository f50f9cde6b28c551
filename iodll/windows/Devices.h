#pragma once

// The devices that can carry LPT1 on Windows (Lpt1.h), where no GPIO line is
// reached: the platform refuses a setting that names some, and the library
// keeps no code for them.

#include "../Lpt1.h"

#include <array>
#include <variant>

namespace iodll {

using Device = std::variant<ParallelPort, RelayBoard, SerialModule>;
using GpioChips = std::array<GpioChip, 0>;

} // namespace iodll
