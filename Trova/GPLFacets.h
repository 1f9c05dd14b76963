#pragma once

// The facets with which the GPL family's factories open, create and hand out files.

#include "Trova/FileFactory.h"
#include "Trova/GPLFileCache.h"
#include "Trova/TrovaDirectory.h"

namespace Ostrel::Trova {

class GPLMipFile;
class GPLPbfFile;
class GPLSrbFile;

class GetDatLocal : public GetDat {
public:
    explicit GetDatLocal(const Util::CountedPtr<DatFile>& archive) : archive_(archive) {}
    Util::CountedPtr<DatFile> GetDatFile() const override { return archive_; }
    void SetDatFile(const Util::CountedPtr<DatFile>& archive) override;

private:
    Util::CountedPtr<DatFile> archive_;
};

// Creates the directory's own archive (named after the directory, inside it) and installs it in
// the directory's factory.
class ICR2CreateDat : public CreateDat {
public:
    explicit ICR2CreateDat(const TrovaDirectory& directory) : directory_(directory) {}
    Util::CountedPtr<DatFile> Create() override;

private:
    TrovaDirectory directory_;
};

using GPLMakeMip = GPLMakeFile<MakeMip, MipFile>;
using GPLMakePbf = GPLMakeFile<MakePbf, PbfFile>;
using GPLMakeSrb = GPLMakeFile<MakeSrb, SrbFile>;

GPLMakeMip* NewGPLMakeMip(const TrovaDirectory& directory,
                          const Util::CountedPtr<DatFile>& archive);
GPLMakePbf* NewGPLMakePbf(const TrovaDirectory& directory,
                          const Util::CountedPtr<DatFile>& archive);
GPLMakeSrb* NewGPLMakeSrb(const TrovaDirectory& directory,
                          const Util::CountedPtr<DatFile>& archive);

class GPLCreateMip : public CreateMip {
public:
    explicit GPLCreateMip(const Util::CountedPtr<MakeMip>& make) : make_(make) {}
    Util::CountedPtr<MipFile> Create(const std::string& name, const TextureRequest& request,
                                     const std::string& extension) override;

private:
    Util::CountedPtr<MakeMip> make_;
};

class GPLCreatePbf : public CreatePbf {
public:
    explicit GPLCreatePbf(const Util::CountedPtr<MakePbf>& make) : make_(make) {}
    Util::CountedPtr<PbfFile> Create(const std::string& name, const TextureRequest& request,
                                     const std::string& extension) override;

private:
    Util::CountedPtr<MakePbf> make_;
};

class GPLCreateSrb : public CreateSrb {
public:
    explicit GPLCreateSrb(const Util::CountedPtr<MakeSrb>& make) : make_(make) {}
    Util::CountedPtr<SrbFile> Create(const std::string& name, const TextureRequest& request,
                                     const std::array<WorldPoint, 4>& worldCorners,
                                     const std::array<TexturePoint, 4>& textureCorners,
                                     const std::string& extension) override;

private:
    Util::CountedPtr<MakeSrb> make_;
};

// A new factory with the GPL family's facets for a directory and its archive (possibly empty).
Util::CountedPtr<FileFactory> BuildGPLFactory(const TrovaDirectory& directory,
                                              const Util::CountedPtr<DatFile>& archive);

} // namespace Ostrel::Trova
