#include "Trova/FileFactoryRegistry.h"

#include "Util/BinaryFile.h"
#include "Util/PathName.h"
#include "Util/Platform.h"
#include "Util/Text.h"

#include <algorithm>

namespace Ostrel::Trova {

namespace {

constexpr char kSourceUnit[] = "FileFactoryRegistry";

std::string WithoutFinalSeparator(std::string path) {
    constexpr std::size_t kRootLength = Util::kPathSeparator == '/' ? 1 : 3;
    if (path.size() != kRootLength && !path.empty() && path.back() == Util::kPathSeparator) {
        path.pop_back();
    }
    return path;
}

} // namespace

std::string NormalizeKey(const std::string& path) {
    // Case is kept: A.dat and a.DAT side by side are two archives with a factory each.
    const std::string key = Util::Platform::ResolveCase(Util::PathName(path).GetFullName());
    if (!Util::FileExists(key)) {
        return key;
    }
    const Util::PathName file(key);
    const Util::PathName directory(file.GetParentDirectory());
    // Only the archive that the directory itself takes (cars/CARS.DAT) shares its entry.
    const TrovaDirectory holder(directory.GetFullName());
    return holder.GetArchivePath() == key ? directory.GetFullName() : key;
}

Util::CountedPtr<FileFactory> FileFactoryRegistry::GetFactory(const std::string& requested,
                                                              bool update) {
    const std::string path = WithoutFinalSeparator(requested);
    const std::string key = NormalizeKey(path);
    if (const auto cached = cache_.find(key); cached != cache_.end()) {
        if (!update || cached->second.update) {
            return cached->second.factory;
        }
        cache_.erase(cached);
    }
    const Util::CountedPtr<FileFactory> factory = MakeFactory(path, update);
    if (factory) {
        cache_[key] = {factory, update};
    }
    return factory;
}

Util::CountedPtr<FileFactory> FileFactoryRegistry::MakeFactory(const std::string& requested,
                                                               bool update) const {
    const std::string path = WithoutFinalSeparator(requested);
    if (!Util::FileExists(path)) {
        const TrovaDirectory directory(path);
        return ChooseForDirectory(directory)->CreateFactory(directory, update);
    }
    if (FileFactoryRecognizer* recognizer = ChooseForFile(path)) {
        return recognizer->CreateDatFactory(path, update);
    }
    return {};
}

Util::CountedPtr<FileFactory> FileFactoryRegistry::GetFactory(const TrovaDirectory& directory,
                                                              bool update) {
    return GetFactory(directory.GetDirectoryPath(), update);
}

bool FileFactoryRegistry::IsSoleOrDefault(const FileFactoryRecognizer* recognizer) const {
    return recognizers_.size() == 1 || recognizer->IsDefault();
}

FileFactoryRecognizer*
FileFactoryRegistry::ChooseForDirectory(const TrovaDirectory& directory) const {
    for (FileFactoryRecognizer* recognizer : recognizers_) {
        if (recognizer->IsOwnDirectory(directory)) {
            return recognizer;
        }
    }
    for (FileFactoryRecognizer* recognizer : recognizers_) {
        if (IsSoleOrDefault(recognizer)) {
            return recognizer;
        }
    }
    OSTREL_ASSERT(false);
}

FileFactoryRecognizer* FileFactoryRegistry::ChooseForFile(const std::string& path) const {
    for (FileFactoryRecognizer* recognizer : recognizers_) {
        if (recognizer->IsOwnDat(path)) {
            return recognizer;
        }
    }
    for (FileFactoryRecognizer* recognizer : recognizers_) {
        if (IsSoleOrDefault(recognizer) && recognizer->IsDat(path)) {
            return recognizer;
        }
    }
    for (FileFactoryRecognizer* recognizer : recognizers_) {
        if (recognizer->IsDat(path)) {
            return recognizer;
        }
    }
    return nullptr;
}

void FileFactoryRegistry::Register(FileFactoryRecognizer* recognizer) {
    recognizers_.push_back(recognizer);
}

void FileFactoryRegistry::Unregister(FileFactoryRecognizer* recognizer) {
    std::erase(recognizers_, recognizer);
}

void FileFactoryRegistry::Purge() {
    std::erase_if(cache_, [](const auto& entry) { return entry.second.factory.GetCount() == 1; });
    for (const auto& [key, entry] : cache_) {
        if (entry.factory->HasFacet<PurgeFactory>()) {
            entry.factory->GetFacet<PurgeFactory>()->Purge();
        }
    }
}

// The families of this system register themselves from static objects beside their recognizers.
// Naming them here makes every program that uses the registry link them in.
extern FileFactoryRecognizer* const builtInRecognizers[];

FileFactoryRegistry& GetFactoryRegistry() {
    static FileFactoryRegistry registry;
    // A read the compiler must keep, so the linker keeps the recognizers' unit.
    static FileFactoryRecognizer* const volatile anchor = builtInRecognizers[0];
    static_cast<void>(anchor);
    return registry;
}

} // namespace Ostrel::Trova
