// Draws the pictures from which samples/make-samples.sh makes the sample game directory, and the
// pictures of the command-line benchmark. Every picture is computed, so the samples are the same
// on every machine.
//
//   vellix-draw-samples DIRECTORY              the sample pictures
//   vellix-draw-samples DIRECTORY COUNT SIZE   COUNT pictures of SIZE x SIZE, picture_NNN.bmp

#include "Trova/Colour.h"
#include "Trova/DIB.h"
#include "Util/Exception.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace {

using Ostrel::Trova::Colour;
using Ostrel::Trova::DIB;

// A pixel's colour from its position in 0..1 across and down.
using Painter = std::function<Colour(double x, double y)>;

void Draw(const std::string& path, std::uint32_t height, std::uint32_t width,
          const Painter& paint) {
    DIB picture(24);
    picture.SetSize(height, width);
    for (std::uint32_t row = 0; row < height; ++row) {
        for (std::uint32_t column = 0; column < width; ++column) {
            picture.SetPixel(row, column, paint((column + 0.5) / width, (row + 0.5) / height));
        }
    }
    picture.Save(path, true);
    std::printf("%s\n", path.c_str());
}

Colour Grey(double level) {
    const auto value = static_cast<float>(std::clamp(level, 0.0, 1.0));
    return Colour(value, value, value, 1);
}

Colour Rgb(double red, double green, double blue) {
    return Colour(static_cast<float>(red), static_cast<float>(green), static_cast<float>(blue), 1);
}

double Distance(double x, double y) {
    return std::hypot(x - 0.5, y - 0.5);
}

void DrawSamples(const std::string& directory) {
    // Two colours: fits a 2-colour palette exactly.
    Draw(directory + "checker.bmp", 64, 64, [](double x, double y) {
        const bool dark = (static_cast<int>(x * 8) + static_cast<int>(y * 8)) % 2 != 0;
        return dark ? Rgb(0.1, 0.1, 0.4) : Rgb(0.9, 0.8, 0.2);
    });
    // Smooth colour: shows what fewer bits and palettes do.
    Draw(directory + "sky.bmp", 128, 128,
         [](double x, double y) { return Rgb(0.3 + 0.5 * x, 0.5 + 0.4 * (1 - y), 0.95); });
    // A wheel with a soft edge: graded transparency in its _ti picture.
    Draw(directory + "wheel.bmp", 64, 64, [](double x, double y) {
        const double angle = std::atan2(y - 0.5, x - 0.5);
        return Grey(0.2 + 0.3 * (std::sin(angle * 6) > 0) + 0.3 * Distance(x, y));
    });
    Draw(directory + "wheel_ti.bmp", 64, 64,
         [](double x, double y) { return Grey(1 - std::max(0.0, Distance(x, y) - 0.35) * 7); });
    // A fence: fully opaque or fully transparent pixels.
    Draw(directory + "fence.bmp", 32, 64,
         [](double x, double) { return Rgb(0.5, 0.3 + 0.2 * x, 0.1); });
    Draw(directory + "fence_ti.bmp", 32, 64, [](double x, double y) {
        return Grey(static_cast<int>(x * 16) % 2 == 0 || y < 0.2 || y > 0.8 ? 1 : 0);
    });
    // A banner for a trackside sign.
    Draw(directory + "banner.bmp", 32, 128, [](double x, double y) {
        return std::sin(x * 40) * std::sin(y * 12) > 0 ? Rgb(0.9, 0.1, 0.1) : Rgb(1, 1, 1);
    });
    Draw(directory + "grass.bmp", 64, 64, [](double x, double y) {
        return Rgb(0.1, 0.4 + 0.2 * std::sin(x * 50 + y * 31) * std::cos(y * 23), 0.1);
    });
}

void DrawPictures(const std::string& directory, int count, std::uint32_t size) {
    for (int index = 0; index < count; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "picture_%03d.bmp", index);
        const double phase = index * 0.37;
        Draw(directory + name, size, size, [&](double x, double y) {
            return Rgb(0.5 + 0.5 * std::sin(x * 9 + phase), 0.5 + 0.5 * std::cos(y * 7 - phase),
                       0.5 + 0.5 * std::sin((x + y) * 5 + phase * 2));
        });
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "Usage: %s DIRECTORY [COUNT SIZE]\n", argv[0]);
        return 2;
    }
    std::string directory = argv[1];
    if (directory.back() != '/') {
        directory += '/';
    }
    try {
        if (argc == 2) {
            DrawSamples(directory);
        } else {
            DrawPictures(directory, std::atoi(argv[2]),
                         static_cast<std::uint32_t>(std::atoi(argv[3])));
        }
    } catch (const Ostrel::Util::Exception& error) {
        std::fprintf(stderr, "%s\n", error.Message().c_str());
        return 1;
    }
    return 0;
}
