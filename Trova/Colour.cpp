#include "Trova/Colour.h"

namespace Ostrel::Trova {

float IntToChannel(std::uint32_t value, unsigned bits) {
    const double maximum = (1u << bits) - 1;
    return static_cast<float>(value / maximum);
}

std::uint32_t ChannelToInt(float channel, unsigned bits) {
    const double maximum = (1u << bits) - 1;
    return static_cast<std::uint32_t>(channel * maximum + 0.5);
}

} // namespace Ostrel::Trova
