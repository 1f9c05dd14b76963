// Reads arbitrary bytes as a PNG file and as its summary, touches every pixel and writes it again.

#include "GameFileFuzz.h"

#include "Trova/PngFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Ostrel;
    Fuzz::Attempt([&] { Trova::PngFile::ReadSummary(*Fuzz::StreamOf(data, size)); });
    Fuzz::Attempt([&] {
        const auto stream = Fuzz::StreamOf(data, size);
        const Trova::PngFile png(*stream);
        Fuzz::TouchPixels(png);
        Util::MemoryStream out("fuzz.out");
        Trova::PngFile::Save(png, out);
    });
    return 0;
}
