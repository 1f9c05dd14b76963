#include "Vellix/RealDirectory.h"

#include "Trova/FileFactoryRegistry.h"
#include "Trova/TrovaDirectory.h"
#include "Util/Platform.h"

namespace Ostrel::Vellix {

RealDirectory::RealDirectory(const std::string& path)
    : path_(path), notifier_(path_.GetFullName(), this) {
    Refresh();
}

void RealDirectory::Refresh() {
    entries_.clear();
    for (const auto& entry : Util::Platform::ListDirectory(path_.GetFullName())) {
        entries_.push_back(
            {Util::PathName(path_.GetAsDirectory() + entry.name), entry.isDirectory});
    }
}

std::uint32_t RealDirectory::GetEntryCount() const {
    return static_cast<std::uint32_t>(entries_.size());
}

bool RealDirectory::IsSubdirectory(std::uint32_t index) const {
    return entries_[index].isDirectory;
}

std::string RealDirectory::GetEntryName(std::uint32_t index) const {
    return entries_[index].path.GetFileName();
}

std::string RealDirectory::GetEntryBaseName(std::uint32_t index) const {
    return entries_[index].path.GetBaseName();
}

std::string RealDirectory::GetEntryExtension(std::uint32_t index) const {
    return entries_[index].path.GetExtension();
}

std::string RealDirectory::GetEntryQualifiedName(std::uint32_t index) const {
    return GetEntryBaseName(index);
}

Util::CountedPtr<Trova::FileFactory> RealDirectory::GetFileFactory() const {
    return Trova::GetFactoryRegistry().GetFactory(Trova::TrovaDirectory(path_.GetFullName()),
                                                  false);
}

} // namespace Ostrel::Vellix
