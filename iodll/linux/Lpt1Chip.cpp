// Which GPIO chip LPT1's setting names, from discovery's list.

#include "../Lpt1.h"

#include <algorithm>

namespace iodll {

// The chip that the setting names: by its device, its link in
// /dev/gpio/by-path, its name (gpiochip4) or its label (cp2112_gpio,
// pinctrl-bcm2711). Of two chips with the label, neither is taken: two
// alike bridges differ only in where they are plugged in.
Route chosenChip(const Inventory& inventory, const Setting& setting)
{
    const std::string& named = setting.device;
    const auto linesOf = [&](const GpioChip& chip) -> Route {
        if (!chip.problem.empty())
            return {.refusal = chip.problem};
        return {.device = GpioLines{chip.path, named, chip.label + " (" + fileName(chip.path) + ")", chip.lines,
                                    setting.lines, setting.activeLow}};
    };
    const auto& chips = inventory.chips;
    const auto byDevice = std::ranges::find_if(chips, [&](const GpioChip& chip) {
        return chip.path == named || fileName(chip.path) == named || std::ranges::find(chip.links, named) != chip.links.end();
    });
    if (byDevice != chips.end())
        return linesOf(*byDevice);
    std::vector<const GpioChip*> labelled;
    std::string others, refused;
    for (const GpioChip& chip : chips) {
        if (!chip.problem.empty())
            refused = refused.empty() ? chip.problem : refused; // the first says what the others would
        else if (chip.label == named)
            labelled.push_back(&chip);
        else
            others += (others.empty() ? "" : ", ") + chip.label + " (" + fileName(chip.path) + ", " +
                      std::to_string(chip.lines) + " lines)";
    }
    if (labelled.size() == 1)
        return linesOf(*labelled.front());
    if (labelled.size() > 1) {
        std::string alike;
        for (const GpioChip* chip : labelled)
            alike += (alike.empty() ? "" : ", ") + chip->path + (chip->where.empty() ? "" : " (" + chip->where + ")");
        return {.refusal = "more than one GPIO chip is labelled '" + shown(named) + "': " + alike +
                           " (name the one for the fan by its device in place of the label, or by its link in "
                           "/dev/gpio/by-path, which stays with its USB port)"};
    }
    if (others.empty() && !refused.empty())
        return {.refusal = "there is no GPIO chip '" + shown(named) + "' that can be read (" + refused + ")"};
    return {.refusal = "there is no GPIO chip '" + shown(named) + "' (" +
                       (others.empty() ? "there are none" : "the chips are " + others) +
                       (refused.empty() ? "" : "; " + refused) + ")"};
}

} // namespace iodll
