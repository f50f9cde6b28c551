#pragma once

// The devices that can carry LPT1 on Linux (Lpt1.h).

#include "../Lpt1.h"

#include <variant>
#include <vector>

namespace iodll {

using Device = std::variant<ParallelPort, RelayBoard, SerialModule, GpioLines>;
using GpioChips = std::vector<GpioChip>;

} // namespace iodll
