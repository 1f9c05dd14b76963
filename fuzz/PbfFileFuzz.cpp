// Reads arbitrary bytes as a PBF/STP file.

#include "GameFileFuzz.h"

#include "Trova/GPLPbfFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Ostrel;
    Fuzz::Attempt([&] {
        const Trova::GPLPbfFile pbf(Fuzz::StreamOf(data, size));
        Fuzz::TouchPixels(*pbf.GetBitmap());
        Fuzz::WriteAndCopy(pbf);
    });
    return 0;
}
