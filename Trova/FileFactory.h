#pragma once

// The single point of access to the files of one game directory: a table of facets, each
// offering one capability (opening MIP files, creating PBF files, handing out the archive...).
// A game family decides which facets its factories carry.

#include "Trova/TextureSummary.h"
#include "Trova/TrovaDirectory.h"
#include "Util/CountedPtr.h"
#include "Util/Exception.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <typeinfo>

namespace Ostrel::Trova {

class DatFile;
class MipFile;
class PbfFile;
class SrbFile;
struct WorldPoint;
struct TexturePoint;

// What a new texture is made of, as the conversion options give it.
struct TextureRequest {
    std::uint32_t height = 0;
    std::uint32_t width = 0;
    std::uint8_t redBits = 5;
    std::uint8_t greenBits = 6;
    std::uint8_t blueBits = 5;
    std::uint8_t alphaBits = 0;
    std::uint32_t transparency = 0; // a TransparencyClass value
    bool usePalette = false;
    std::uint32_t colourCount = 16;
    bool individualPalettes = false;
    bool horizontalRepeat = false;
    bool verticalRepeat = false;
    bool autoLevels = true;
    std::uint32_t requestedLevels = 1;
};

// The level count of a new texture: with autoLevels, down to 8 pixels across; never more than
// the smaller side allows.
std::uint32_t LevelCount(std::uint32_t height, std::uint32_t width, bool autoLevels,
                         std::uint32_t requested);

// One key per facet type for the life of the process, handed out in order of first use.
int NextFacetTypeId();
template <typename FacetT> int FacetTypeId() {
    static const int id = NextFacetTypeId();
    return id;
}

class FileFactory {
public:
    class Facet {
    public:
        virtual ~Facet() = default;
    };

    template <typename FacetT> void AddFacet(FacetT* facet) {
        facets_[FacetTypeId<FacetT>()] = Util::CountedPtr<Facet>(facet);
    }

    template <typename FacetT> bool HasFacet() const {
        return facets_.count(FacetTypeId<FacetT>()) != 0;
    }

    template <typename FacetT> Util::CountedPtr<FacetT> GetFacet() const {
        if (!HasFacet<FacetT>()) {
            Util::AssertionFailed("HasFacet<FacetT>()", "FileFactory", __LINE__);
        }
        Util::CountedPtr<FacetT> facet =
            facets_.at(FacetTypeId<FacetT>()).template DynamicCast<FacetT>();
        if (!facet) {
            throw std::bad_cast();
        }
        return facet;
    }

private:
    std::map<int, Util::CountedPtr<Facet>> facets_;
};

// The facet catalogue. No factory of this system holds the facets whose files it does not open
// (MakePcx, MakeCam, ...); they are declared so that a factory purge visits every kind of cache.

class GetDirectory : public FileFactory::Facet {
public:
    explicit GetDirectory(const TrovaDirectory& directory) : directory(directory) {}
    TrovaDirectory directory;
};

class GetDat : public FileFactory::Facet {
public:
    virtual Util::CountedPtr<DatFile> GetDatFile() const = 0;
    virtual void SetDatFile(const Util::CountedPtr<DatFile>& archive) = 0;
};

class CreateDat : public FileFactory::Facet {
public:
    virtual Util::CountedPtr<DatFile> Create() = 0;
};

// A facet that caches file objects and can drop those nobody else holds.
class CachingFacet : public FileFactory::Facet {
public:
    virtual void Purge() = 0;
};

template <typename FileT> class MakeFile : public CachingFacet {
public:
    // The file of that name: a loose file of the directory shadows an archive member of the same
    // name unless archiveOnly is set. Throws XFileOpen "File not found" when there is neither.
    virtual Util::CountedPtr<FileT> Make(const std::string& name, const std::string& extension,
                                         bool archiveOnly) = 0;
    // What the headers of the file Make would find tell, read from the file itself without its
    // pixel data; the cache is neither used nor filled. Fails as reading the file would.
    virtual TextureSummary Summarise(const std::string& name, const std::string& extension,
                                     bool archiveOnly) = 0;
    // Enters an existing object into the cache as a loose file of this directory.
    virtual void Store(const Util::CountedPtr<FileT>& file, const std::string& name,
                       const std::string& extension) = 0;
};

class MakeMip : public MakeFile<MipFile> {};
class MakePbf : public MakeFile<PbfFile> {};
class MakeSrb : public MakeFile<SrbFile> {};
class MakePcx : public CachingFacet {};
class MakeCam : public CachingFacet {};
class MakeLp : public CachingFacet {};
class MakeTdo : public CachingFacet {};
class MakeRpy : public CachingFacet {};
class MakeTrack : public CachingFacet {};
class MakeTrk : public CachingFacet {};

// The create facets make a new, empty file object, enter it into the sibling Make facet's cache
// and return it; nothing is written to disk.
class CreateMip : public FileFactory::Facet {
public:
    virtual Util::CountedPtr<MipFile> Create(const std::string& name, const TextureRequest& request,
                                             const std::string& extension) = 0;
};

class CreatePbf : public FileFactory::Facet {
public:
    virtual Util::CountedPtr<PbfFile> Create(const std::string& name, const TextureRequest& request,
                                             const std::string& extension) = 0;
};

class CreateSrb : public FileFactory::Facet {
public:
    virtual Util::CountedPtr<SrbFile> Create(const std::string& name, const TextureRequest& request,
                                             const std::array<WorldPoint, 4>& worldCorners,
                                             const std::array<TexturePoint, 4>& textureCorners,
                                             const std::string& extension) = 0;
};

// Purges every file cache of the factory that holds it.
class PurgeFactory : public FileFactory::Facet {
public:
    explicit PurgeFactory(const FileFactory* factory) : factory_(factory) {}
    void Purge() const;

private:
    const FileFactory* factory_; // the factory holds this facet, so no count
};

} // namespace Ostrel::Trova
