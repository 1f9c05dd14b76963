// Reads arbitrary bytes as a PBF/STP file.

#include "GameFileFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Ostrel::Fuzz::ExercisePbf(Ostrel::Fuzz::StreamOf(data, size));
    return 0;
}
