// Reads arbitrary bytes as an SRB file and asks for its geometry.

#include "GameFileFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Ostrel::Fuzz::ExerciseSrb(Ostrel::Fuzz::StreamOf(data, size));
    return 0;
}
