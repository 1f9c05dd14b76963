// Reads arbitrary bytes as a BMP file, touches every pixel and writes it again.

#include "GameFileFuzz.h"

#include "Trova/DIB.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Ostrel;
    Fuzz::Attempt([&] {
        const auto stream = Fuzz::StreamOf(data, size);
        const Trova::DIB dib(*stream);
        Fuzz::TouchPixels(dib);
        Util::MemoryStream out("fuzz.out");
        dib.Save(out);
    });
    return 0;
}
