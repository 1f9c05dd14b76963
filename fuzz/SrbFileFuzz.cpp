// Reads arbitrary bytes as an SRB file and asks for its geometry.

#include "GameFileFuzz.h"

#include "Trova/GPLSrbFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Ostrel;
    Fuzz::Attempt([&] {
        const Trova::GPLSrbFile srb(Fuzz::StreamOf(data, size));
        for (std::uint32_t level = 0; level < srb.GetBitmapCount(); ++level) {
            Fuzz::TouchPixels(*srb.GetBitmap(level));
        }
        for (std::uint32_t corner = 0; corner < 4; ++corner) {
            srb.GetCorner(corner);
            srb.GetTextureCorner(corner);
        }
        Fuzz::WriteAndCopy(srb);
    });
    return 0;
}
