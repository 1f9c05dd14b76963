// Reads arbitrary bytes as a DAT archive and reads every member through its own stream, in
// alternation with the first, as the file factory and the recognizer do; then opens every member
// as each texture format, as listing and converting an archive's members does.

#include "GameFileFuzz.h"

#include "Trova/ICR2DatFile.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Ostrel;
    Fuzz::Attempt([&] {
        Trova::ICR2DatFile archive(Fuzz::StreamOf(data, size));
        for (std::uint32_t index = 0; index < archive.GetSubfileCount(); ++index) {
            Fuzz::Attempt([&] {
                const auto member = archive.OpenSubfile(index);
                std::uint8_t bytes[64];
                const auto count = static_cast<std::uint32_t>(
                    std::min<std::uint64_t>(sizeof bytes, member->GetSize()));
                member->Read(count, bytes);
                archive.FindSubfile(archive.GetSubfileName(index));
            });
            for (std::uint32_t version : {Trova::kGPLMipVersion, Trova::kN4MipVersion}) {
                Fuzz::ExerciseMip(archive.OpenSubfile(index), version);
            }
            Fuzz::ExercisePbf(archive.OpenSubfile(index));
            Fuzz::ExerciseSrb(archive.OpenSubfile(index));
        }
    });
    return 0;
}
