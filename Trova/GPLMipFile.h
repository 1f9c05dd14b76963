#pragma once

#include "Trova/GPLMipLevels.h"
#include "Trova/MipFile.h"

namespace Ostrel::Trova {

// The MIP files of the GPL game family (and their N4 variant).
class GPLMipFile : public GPLMipLevels<MipFile> {
public:
    // Reads the whole stream from its start; a header version other than expectedVersion is
    // refused. Fails with XFileFormat (or the stream's XFileRead).
    GPLMipFile(const Util::CountedPtr<Util::BinaryStream>& stream, std::uint32_t expectedVersion);
    // The same reading and the same failures, without the levels' pixel data.
    static TextureSummary ReadSummary(Util::BinaryStream& stream, std::uint32_t expectedVersion);
    // A new file in memory; see GPLMIPSection and ChooseMipFormat.
    GPLMipFile(std::uint32_t height, std::uint32_t width, std::uint8_t redBits,
               std::uint8_t greenBits, std::uint8_t blueBits, std::uint8_t alphaBits,
               std::uint32_t transparency, bool usePalette, std::uint32_t colourCount,
               bool individualPalettes, bool horizontalRepeat, bool verticalRepeat,
               std::uint32_t levelCount, std::uint32_t firstFormat, std::uint32_t formatCount,
               std::uint32_t version);
    // A deep copy.
    GPLMipFile(const GPLMipFile& other);
    GPLMipFile& operator=(const GPLMipFile&) = delete;

    bool HasN4Value() const override { return mip_->GetVersion() == kN4MipVersion; }
    std::uint32_t GetN4Value(std::uint32_t) const override { return mip_->GetN4Value(); }
    bool HasN4Name() const override { return mip_->GetVersion() == kN4MipVersion; }
    std::string GetN4Name(std::uint32_t) const override { return mip_->GetN4Name(); }

    void Write(const Util::CountedPtr<Util::BinaryStream>& stream) const override;
    Util::CountedPtr<MipFile> Clone() const override;
};

} // namespace Ostrel::Trova
