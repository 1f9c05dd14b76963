#pragma once

#include <cstdint>

namespace Ostrel::Trova {

// Four channels in 0 to 1. A fully transparent colour is always (0, 0, 0, 0), so that every
// transparent pixel is the same colour to palettes and transparency routines.
class Colour {
public:
    Colour() = default;
    Colour(float red, float green, float blue, float alpha)
        : red_(alpha == 0 ? 0 : red), green_(alpha == 0 ? 0 : green), blue_(alpha == 0 ? 0 : blue),
          alpha_(alpha) {}

    float GetRed() const { return red_; }
    float GetGreen() const { return green_; }
    float GetBlue() const { return blue_; }
    float GetAlpha() const { return alpha_; }

    bool operator==(const Colour& other) const {
        return red_ == other.red_ && green_ == other.green_ && blue_ == other.blue_ &&
               alpha_ == other.alpha_;
    }
    bool operator!=(const Colour& other) const { return !(*this == other); }

    // Dissimilarity for nearest-colour matching, weighted by this colour's alpha. Inline, as the
    // nearest-colour search asks it for every pixel many times.
    float Distance(const Colour& other) const {
        const float dr = red_ - other.red_;
        const float dg = green_ - other.green_;
        const float db = blue_ - other.blue_;
        const float da = alpha_ - other.alpha_;
        return (alpha_ * (dr * dr + dg * dg + db * db) + da * da) / 4;
    }

private:
    float red_ = 0;
    float green_ = 0;
    float blue_ = 0;
    float alpha_ = 0;
};

// A stored unsigned integer of `bits` bits (1 to 8) to a channel, and back with rounding.
float IntToChannel(std::uint32_t value, unsigned bits);
std::uint32_t ChannelToInt(float channel, unsigned bits);

} // namespace Ostrel::Trova
