#pragma once

// The engine of the GPL family's Make facets: finds a file loose in the game directory or in
// its archive, reads it once, and hands out the same object until it is purged.

#include "Trova/DatFile.h"
#include "Trova/FileFactory.h"
#include "Trova/TrovaDirectory.h"
#include "Util/BinaryFile.h"
#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Util/Text.h"

#include <map>
#include <string>
#include <utility>

namespace Ostrel::Trova {

template <typename FacetT, typename FileT> class GPLMakeFile : public FacetT {
public:
    // Reads the family's file object from a stream positioned anywhere.
    using Reader = Util::CountedPtr<FileT> (*)(const Util::CountedPtr<Util::BinaryStream>&);

    GPLMakeFile(const TrovaDirectory& directory, const Util::CountedPtr<DatFile>& archive,
                std::string defaultExtension, Reader reader)
        : directory_(directory), archive_(archive), defaultExtension_(std::move(defaultExtension)),
          reader_(reader) {}

    Util::CountedPtr<FileT> Make(const std::string& name, const std::string& extension,
                                 bool archiveOnly) override {
        const auto [baseName, ownExtension] = SplitName(name);
        const std::string usedExtension = !extension.empty()      ? extension
                                          : !ownExtension.empty() ? ownExtension
                                                                  : defaultExtension_;
        const std::string fileName = Util::ToLower(JoinName(baseName, usedExtension));
        if (!archiveOnly) {
            if (const auto cached = cache_.find({fileName, false}); cached != cache_.end()) {
                return cached->second;
            }
        }
        if (const auto cached = cache_.find({fileName, true}); cached != cache_.end()) {
            return cached->second;
        }
        return Read(fileName, JoinName(baseName, usedExtension), archiveOnly);
    }

    void Store(const Util::CountedPtr<FileT>& file, const std::string& name,
               const std::string& extension) override {
        const std::string base = name.empty() ? directory_.GetDirectoryName() : name;
        const std::string key = base + "." + (extension.empty() ? defaultExtension_ : extension);
        cache_[{Util::ToLower(key), false}] = file;
    }

    void Purge() override {
        std::erase_if(cache_, [](const auto& entry) { return entry.second.GetCount() == 1; });
    }

private:
    // (file name, true for an archive member), ordered by name, then origin.
    using Key = std::pair<std::string, bool>;

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

    Util::CountedPtr<FileT> Read(const std::string& fileName, const std::string& wantedName,
                                 bool archiveOnly) {
        Util::CountedPtr<Util::BinaryStream> stream;
        bool member = false;
        // Game files keep the case they had on Windows: find CAR1.MIP when asked for car1.mip.
        const std::string loosePath =
            Util::Platform::ResolveCase(directory_.GetDirectoryPath() + fileName);
        if (!archiveOnly && Util::FileExists(loosePath)) {
            stream = Util::OpenForRead(loosePath);
        } else if (archive_) {
            stream = archive_->FindSubfile(fileName);
            member = true;
        }
        if (!stream) {
            throw Util::XFileOpen(directory_.GetDirectoryPath() + wantedName, "File not found");
        }
        Util::CountedPtr<FileT> file = reader_(stream);
        cache_[{fileName, member}] = file;
        return file;
    }

    TrovaDirectory directory_;
    Util::CountedPtr<DatFile> archive_;
    std::string defaultExtension_;
    Reader reader_;
    std::map<Key, Util::CountedPtr<FileT>> cache_;
};

} // namespace Ostrel::Trova
