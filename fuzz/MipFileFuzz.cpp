// Reads arbitrary bytes as a MIP file, as the GPL header and as the N4 header.

#include "GameFileFuzz.h"

#include "Trova/GPLMipFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Ostrel;
    for (std::uint32_t version : {Trova::kGPLMipVersion, Trova::kN4MipVersion}) {
        Fuzz::Attempt([&] {
            const Trova::GPLMipFile mip(Fuzz::StreamOf(data, size), version);
            for (std::uint32_t level = 0; level < mip.GetBitmapCount(); ++level) {
                Fuzz::TouchPixels(*mip.GetBitmap(level));
            }
            Fuzz::WriteAndCopy(mip);
        });
    }
    return 0;
}
