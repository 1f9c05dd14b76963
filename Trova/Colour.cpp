#include "Trova/Colour.h"

namespace Ostrel::Trova {

float Colour::Distance(const Colour& other) const {
    const float dr = red_ - other.red_;
    const float dg = green_ - other.green_;
    const float db = blue_ - other.blue_;
    const float da = alpha_ - other.alpha_;
    return (alpha_ * (dr * dr + dg * dg + db * db) + da * da) / 4;
}

float IntToChannel(std::uint32_t value, unsigned bits) {
    const double maximum = (1u << bits) - 1;
    return static_cast<float>(value / maximum);
}

std::uint32_t ChannelToInt(float channel, unsigned bits) {
    const double maximum = (1u << bits) - 1;
    return static_cast<std::uint32_t>(channel * maximum + 0.5);
}

} // namespace Ostrel::Trova
