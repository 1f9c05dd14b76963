#include "Trova/GPLFacets.h"

#include "Trova/FileFactoryRegistry.h"
#include "Trova/GPLMipFile.h"
#include "Trova/GPLPbfFile.h"
#include "Trova/GPLSrbFile.h"
#include "Trova/ICR2DatFile.h"

namespace Ostrel::Trova {

namespace {

// New textures use the first formats of the family's table: all eight for MIP files, the 4-bit
// palettised and 16-bit ones for SRB files.
constexpr std::uint32_t kMipFormatCount = 8;
constexpr std::uint32_t kSrbFormatCount = 6;

Util::CountedPtr<MipFile> ReadMip(const Util::CountedPtr<Util::BinaryStream>& stream) {
    return Util::CountedPtr<MipFile>(new GPLMipFile(stream, 0));
}

Util::CountedPtr<PbfFile> ReadPbf(const Util::CountedPtr<Util::BinaryStream>& stream) {
    return Util::CountedPtr<PbfFile>(new GPLPbfFile(stream));
}

Util::CountedPtr<SrbFile> ReadSrb(const Util::CountedPtr<Util::BinaryStream>& stream) {
    return Util::CountedPtr<SrbFile>(new GPLSrbFile(stream));
}

TextureSummary SummariseMip(Util::BinaryStream& stream) {
    return GPLMipFile::ReadSummary(stream, 0);
}

std::uint32_t Levels(const TextureRequest& request) {
    return LevelCount(request.height, request.width, request.autoLevels, request.requestedLevels);
}

} // namespace

void GetDatLocal::SetDatFile(const Util::CountedPtr<DatFile>& archive) {
    archive_ = nullptr;
    archive_ = archive;
}

Util::CountedPtr<DatFile> ICR2CreateDat::Create() {
    const auto factory = GetFactoryRegistry().GetFactory(directory_, false);
    // An archive that exists under another case (CARS.DAT) is found, so that creating fails
    // instead of making a second archive beside it.
    const std::string path = directory_.GetArchivePath();
    Util::CountedPtr<DatFile> archive(new ICR2DatFile(path));
    factory->GetFacet<GetDat>()->SetDatFile(archive);
    return archive;
}

GPLMakeMip* NewGPLMakeMip(const TrovaDirectory& directory,
                          const Util::CountedPtr<DatFile>& archive) {
    return new GPLMakeMip(directory, archive, "mip", ReadMip, SummariseMip);
}

GPLMakePbf* NewGPLMakePbf(const TrovaDirectory& directory,
                          const Util::CountedPtr<DatFile>& archive) {
    return new GPLMakePbf(directory, archive, "pbf", ReadPbf, GPLPbfFile::ReadSummary);
}

GPLMakeSrb* NewGPLMakeSrb(const TrovaDirectory& directory,
                          const Util::CountedPtr<DatFile>& archive) {
    return new GPLMakeSrb(directory, archive, "srb", ReadSrb, GPLSrbFile::ReadSummary);
}

Util::CountedPtr<MipFile> GPLCreateMip::Create(const std::string& name,
                                               const TextureRequest& request,
                                               const std::string& extension) {
    Util::CountedPtr<MipFile> file(new GPLMipFile(
        request.height, request.width, request.redBits, request.greenBits, request.blueBits,
        request.alphaBits, request.transparency, request.usePalette, request.colourCount,
        request.individualPalettes, request.horizontalRepeat, request.verticalRepeat,
        Levels(request), 0, kMipFormatCount, 0));
    make_->Store(file, name, extension);
    return file;
}

Util::CountedPtr<PbfFile> GPLCreatePbf::Create(const std::string& name,
                                               const TextureRequest& request,
                                               const std::string& extension) {
    Util::CountedPtr<PbfFile> file(
        new GPLPbfFile(request.redBits, request.greenBits, request.blueBits, request.alphaBits,
                       request.transparency, request.usePalette, request.colourCount));
    make_->Store(file, name, extension);
    return file;
}

Util::CountedPtr<SrbFile> GPLCreateSrb::Create(const std::string& name,
                                               const TextureRequest& request,
                                               const std::array<WorldPoint, 4>& worldCorners,
                                               const std::array<TexturePoint, 4>& textureCorners,
                                               const std::string& extension) {
    Util::CountedPtr<SrbFile> file(
        new GPLSrbFile(request.height, request.width, request.redBits, request.greenBits,
                       request.blueBits, request.alphaBits, request.transparency,
                       request.usePalette, request.colourCount, request.individualPalettes,
                       Levels(request), worldCorners, textureCorners, 0, kSrbFormatCount));
    make_->Store(file, name, extension);
    return file;
}

Util::CountedPtr<FileFactory> BuildGPLFactory(const TrovaDirectory& directory,
                                              const Util::CountedPtr<DatFile>& archive) {
    Util::CountedPtr<FileFactory> factory(new FileFactory);
    factory->AddFacet<GetDirectory>(new GetDirectory(directory));
    factory->AddFacet<GetDat>(new GetDatLocal(archive));
    factory->AddFacet<CreateDat>(new ICR2CreateDat(directory));
    factory->AddFacet<PurgeFactory>(new PurgeFactory(factory.Get()));
    factory->AddFacet<MakeMip>(NewGPLMakeMip(directory, archive));
    factory->AddFacet<CreateMip>(new GPLCreateMip(factory->GetFacet<MakeMip>()));
    factory->AddFacet<MakePbf>(NewGPLMakePbf(directory, archive));
    factory->AddFacet<CreatePbf>(new GPLCreatePbf(factory->GetFacet<MakePbf>()));
    factory->AddFacet<MakeSrb>(NewGPLMakeSrb(directory, archive));
    factory->AddFacet<CreateSrb>(new GPLCreateSrb(factory->GetFacet<MakeSrb>()));
    return factory;
}

} // namespace Ostrel::Trova
