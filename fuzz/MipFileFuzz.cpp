// Reads arbitrary bytes as a MIP file, as the GPL header and as the N4 header.

#include "GameFileFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Ostrel;
    for (std::uint32_t version : {Trova::kGPLMipVersion, Trova::kN4MipVersion}) {
        Fuzz::ExerciseMip(Fuzz::StreamOf(data, size), version);
    }
    return 0;
}
