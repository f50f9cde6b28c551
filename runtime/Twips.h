#pragma once

namespace runtime {

// Layouts are stored in twips, 1440 to the inch, so that a window keeps its
// proportions on any screen. Rounds to the nearest pixel.
using Twips = int;

constexpr int twipsToPixels(Twips twips, int dpi)
{
    return (twips * dpi + 720) / 1440;
}

} // namespace runtime
