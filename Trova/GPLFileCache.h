#pragma once

// The engine of the GPL family's Make facets: finds a file loose in the game directory or in
// its archive, reads it once, and hands out the same object until it is purged. A summary reads
// the headers of the file Make would find, past the cache.

#include "Trova/DatFile.h"
#include "Trova/FileFactory.h"
#include "Trova/TextureSummary.h"
#include "Trova/TrovaDirectory.h"
#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Util/ReadAheadStream.h"

#include <map>
#include <string>
#include <utility>

namespace Ostrel::Trova {

template <typename FacetT, typename FileT> class GPLMakeFile : public FacetT {
public:
    // Reads the family's file object from a stream positioned anywhere.
    using Reader = Util::CountedPtr<FileT> (*)(const Util::CountedPtr<Util::BinaryStream>&);
    // Reads the same file's headers only.
    using SummaryReader = TextureSummary (*)(Util::BinaryStream&);

    GPLMakeFile(const TrovaDirectory& directory, const Util::CountedPtr<DatFile>& archive,
                std::string defaultExtension, Reader reader, SummaryReader summaryReader)
        : directory_(directory), archive_(archive), defaultExtension_(std::move(defaultExtension)),
          reader_(reader), summaryReader_(summaryReader) {}

    Util::CountedPtr<FileT> Make(const std::string& name, const std::string& extension,
                                 bool archiveOnly) override {
        const Location location = Locate(name, extension, archiveOnly);
        if (const auto cached = cache_.find(location.key); cached != cache_.end()) {
            return cached->second;
        }
        return Read(location.key, location.Open());
    }

    TextureSummary Summarise(const std::string& name, const std::string& extension,
                             bool archiveOnly) override {
        Util::ReadAheadStream stream(Locate(name, extension, archiveOnly).Open());
        return summaryReader_(stream);
    }

    void Store(const Util::CountedPtr<FileT>& file, const std::string& name,
               const std::string& extension) override {
        const std::string base = name.empty() ? directory_.GetDirectoryName() : name;
        const std::string loosePath =
            LoosePath(base + "." + (extension.empty() ? defaultExtension_ : extension));
        cache_[{loosePath.substr(directory_.GetDirectoryPath().size()), false}] = file;
    }

    void Purge() override {
        std::erase_if(cache_, [](const auto& entry) { return entry.second.GetCount() == 1; });
    }

private:
    // (file name as on disk or in the archive, true for an archive member).
    using Key = std::pair<std::string, bool>;

    // A loose file (its path) or an archive member (its stream).
    struct Location {
        Key key;
        std::string loosePath;
        Util::CountedPtr<Util::BinaryStream> member;

        Util::CountedPtr<Util::BinaryStream> Open() const {
            return member ? member : Util::OpenForRead(loosePath);
        }
    };

    // A loose file that exists or is cached comes first, then the archive's member.
    Location Locate(const std::string& name, const std::string& extension, bool archiveOnly) const {
        const auto [baseName, ownExtension] = SplitName(name);
        const std::string usedExtension = !extension.empty()      ? extension
                                          : !ownExtension.empty() ? ownExtension
                                                                  : defaultExtension_;
        const std::string wanted = JoinName(baseName, usedExtension);
        if (!archiveOnly) {
            const std::string loosePath = LoosePath(wanted);
            const Key key{loosePath.substr(directory_.GetDirectoryPath().size()), false};
            if (cache_.contains(key) || Util::FileExists(loosePath)) {
                return {key, loosePath, nullptr};
            }
        }
        if (const auto stream = archive_ ? archive_->FindSubfile(wanted) : nullptr) {
            return {{stream->GetName(), true}, "", stream};
        }
        throw Util::XFileOpen(directory_.GetDirectoryPath() + wanted, "File not found");
    }

    std::pair<std::string, std::string> SplitName(const std::string& name) const {
        if (name.empty()) {
            return {directory_.GetDirectoryName(), ""};
        }
        const std::size_t dot = name.rfind('.');
        if (dot == std::string::npos) {
            return {name, ""};
        }
        return {name.substr(0, dot), name.substr(dot + 1)};
    }

    static std::string JoinName(const std::string& base, const std::string& extension) {
        return extension.empty() ? base : base + "." + extension;
    }

    // Game files keep the case they had on Windows: car1.mip finds CAR1.MIP, but a file of exactly
    // the name asked for comes first, so A.mip and a.MIP side by side stay two files.
    std::string LoosePath(const std::string& fileName) const {
        return Util::Platform::ResolveCase(directory_.GetDirectoryPath() + fileName);
    }

    Util::CountedPtr<FileT> Read(const Key& key,
                                 const Util::CountedPtr<Util::BinaryStream>& stream) {
        Util::CountedPtr<FileT> file = reader_(stream);
        cache_[key] = file;
        return file;
    }

    TrovaDirectory directory_;
    Util::CountedPtr<DatFile> archive_;
    std::string defaultExtension_;
    Reader reader_;
    SummaryReader summaryReader_;
    std::map<Key, Util::CountedPtr<FileT>> cache_;
};

} // namespace Ostrel::Trova
