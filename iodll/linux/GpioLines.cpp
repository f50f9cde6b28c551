// GPIO lines through the kernel's GPIO character device (/dev/gpiochipN):
// a USB-to-GPIO bridge such as a CP2112, or a single-board computer's
// header. Each data line D0, D1, ... drives one line.
//
// The kernel's uAPI v2 ioctls, as for ppdev, rather than libgpiod: Debian 12
// has libgpiod 1.6 and Debian 13 libgpiod 2, whose interfaces differ, and the
// few calls needed here are the same on both kernels (6.1 and 6.12).
//
// The lines are requested at the first write, with the values it sets, and
// then held while the program runs: the window and the thermostat keep
// them. When the program ends they go to a holder (GpioHolder.cpp), which
// keeps them as set until a program wants them again, as a port keeps its
// data; in a system service, which systemd ends whole, the chip's driver
// decides what released lines do.

#include "../Setting.h"
#include "Linux.h"

#include <linux/gpio.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace iodll {

namespace {

// Who holds our lines, as the kernel shows it: the program, or its holder.
constexpr char kConsumer[] = "ventrolik";

std::string text(const char (&field)[GPIO_MAX_NAME_SIZE])
{
    return shown(std::string(field, strnlen(field, sizeof field)));
}

// An offset as a setting writes it: "0", "17".
bool isNumber(const std::string& word)
{
    return !word.empty() && word.size() < 4 && std::ranges::all_of(word, [](char c) { return c >= '0' && c <= '9'; });
}

class GpioLinesOutput final : public Output {
public:
    GpioLinesOutput(System& system, GpioLines lines) : system_(system), wanted_(std::move(lines)) {}
    // At the program's end; or when the chip has gone, whose lines nobody
    // can keep.
    ~GpioLinesOutput() override
    {
        std::error_code error;
        if (lines_ >= 0 && system_.holdLines && serviceUnit(system_).empty() &&
            std::filesystem::exists(system_.gpioDir / fileName(wanted_.path), error))
            system_.holdLines(lines_, wanted_.path, offsets_);
        close();
    }

    Status reach() override { return chip_ >= 0 ? Status::ok() : open(); }
    int lines() const override { return int(wanted_.lines.size()); }

    // Sets every line from its data bit: D0 the first line, D1 the second.
    Status write(int offset, std::uint8_t value) override
    {
        if (offset != kData) // only the data lines are wired
            return Status::ok();
        Status done = reach();
        const std::uint64_t all = (std::uint64_t(1) << offsets_.size()) - 1;
        if (done)
            done = lines_ < 0 ? request(value & all, all) : set(value & all, all);
        if (!done)
            close();
        return done;
    }

private:
    // The chip that discovery found, then its lines.
    Status open()
    {
        chip_ = system_.open(wanted_.path);
        if (chip_ < 0)
            return Status::failed(describeOpenError(system_, errno, wanted_.path, kGpioHints));
        return findLines(wanted_.count);
    }

    // Each line wanted, by its name or its offset, if it is free.
    Status findLines(std::uint32_t count)
    {
        std::vector<gpio_v2_line_info> infos(count);
        for (std::uint32_t offset = 0; offset < count; ++offset) {
            infos[offset].offset = offset;
            if (system_.ioctl(chip_, GPIO_V2_GET_LINEINFO_IOCTL, &infos[offset]) < 0)
                return failed(deviceError("read line " + std::to_string(offset) + " of", errno, wanted_.path));
        }
        offsets_.clear();
        for (const std::string& line : wanted_.lines) {
            const auto named = [&](const gpio_v2_line_info& i) { return text(i.name) == line; };
            auto info = std::ranges::find_if(infos, named);
            if (info == infos.end() && isNumber(line) && std::stoul(line) < count)
                info = infos.begin() + std::stoul(line);
            if (info == infos.end())
                return failed("the GPIO chip " + wanted_.name + " has no line '" + shown(line) + "' (its lines are " +
                              lineList(infos) + ")");
            if (std::ranges::count_if(infos, named) > 1) {
                std::string offsets;
                for (const auto& i : infos)
                    if (named(i))
                        offsets += (offsets.empty() ? "" : ", ") + std::to_string(i.offset);
                return failed("more than one line of the GPIO chip " + wanted_.name + " is named '" + shown(line) +
                              "' (lines " + offsets + "): name the one for the fan by its number");
            }
            if (std::ranges::find(offsets_, info->offset) != offsets_.end())
                return failed("GPIO line '" + shown(line) + "' is named twice: each data line needs a line of its own");
            if ((info->flags & GPIO_V2_LINE_FLAG_USED) && !takenBack(*info))
                return failed(heldBy(*info));
            offsets_.push_back(info->offset);
        }
        return Status::ok();
    }

    // Whether a line that our holder keeps is ours now. A holder lets go of
    // all its lines at once, so one asked for an earlier line may already
    // have freed this one.
    bool takenBack(gpio_v2_line_info& info)
    {
        const auto isFree = [&] {
            return system_.ioctl(chip_, GPIO_V2_GET_LINEINFO_IOCTL, &info) >= 0 &&
                   !(info.flags & GPIO_V2_LINE_FLAG_USED);
        };
        if (text(info.consumer) != kConsumer)
            return false;
        return isFree() || (system_.letGoLine && system_.letGoLine(wanted_.path, info.offset) && isFree());
    }

    // "0-7", or the names where the lines have them: "GPIO17, GPIO27, ...".
    static std::string lineList(const std::vector<gpio_v2_line_info>& infos)
    {
        std::string names;
        for (const auto& info : infos)
            if (info.name[0])
                names += (names.empty() ? "" : ", ") + text(info.name);
        if (!names.empty() || infos.empty())
            return names.empty() ? "none" : names;
        return "0-" + std::to_string(infos.size() - 1);
    }

    std::string heldBy(const gpio_v2_line_info& info) const
    {
        const std::string line = "GPIO line " + std::to_string(info.offset) + " of " + wanted_.name + " is held by '";
        if (text(info.consumer) == kConsumer)
            return line + "ventrolik' (the window, the thermostat, or the holder that keeps the line as a command "
                          "set it, which 'pkill -x ventrolik-hold' ends; the thermostat's service can't ask it)";
        return line + (info.consumer[0] ? text(info.consumer) : std::string("the kernel")) +
               "' (stop that program, or choose another line)";
    }

    // Requests the lines as outputs, set to `values` from the start.
    Status request(std::uint64_t values, std::uint64_t all)
    {
        gpio_v2_line_request request{};
        std::ranges::copy(offsets_, request.offsets);
        std::strncpy(request.consumer, kConsumer, sizeof request.consumer - 1);
        request.num_lines = std::uint32_t(offsets_.size());
        request.config.flags = GPIO_V2_LINE_FLAG_OUTPUT | (wanted_.activeLow ? GPIO_V2_LINE_FLAG_ACTIVE_LOW : 0);
        request.config.num_attrs = 1;
        request.config.attrs[0].attr.id = GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES;
        request.config.attrs[0].attr.values = values;
        request.config.attrs[0].mask = all;
        if (system_.ioctl(chip_, GPIO_V2_GET_LINE_IOCTL, &request) >= 0) {
            lines_ = request.fd;
            return Status::ok();
        }
        const int error = errno;
        if (error == EBUSY)
            for (std::uint32_t offset : offsets_) {
                gpio_v2_line_info info{};
                info.offset = offset;
                if (system_.ioctl(chip_, GPIO_V2_GET_LINEINFO_IOCTL, &info) >= 0 &&
                    (info.flags & GPIO_V2_LINE_FLAG_USED))
                    return Status::failed(heldBy(info));
            }
        return Status::failed("cannot drive " + describe(Device(wanted_)) + " as outputs: " + std::strerror(error) +
                              " (can each of them be an output?)");
    }

    Status set(std::uint64_t values, std::uint64_t all)
    {
        gpio_v2_line_values set{values, all};
        if (system_.ioctl(lines_, GPIO_V2_LINE_SET_VALUES_IOCTL, &set) < 0)
            return Status::failed(deviceError("set the GPIO lines of", errno, wanted_.path));
        return Status::ok();
    }

    Status failed(std::string why)
    {
        close();
        return Status::failed(std::move(why));
    }

    void close()
    {
        if (lines_ >= 0)
            system_.close(lines_);
        if (chip_ >= 0)
            system_.close(chip_);
        lines_ = chip_ = -1;
    }

    System& system_;
    const GpioLines wanted_;
    std::vector<std::uint32_t> offsets_;
    int chip_ = -1;
    int lines_ = -1;
};

} // namespace

std::unique_ptr<Output> gpioLines(System& system, const GpioLines& lines)
{
    return std::make_unique<GpioLinesOutput>(system, lines);
}

} // namespace iodll
