#include "Vellix/DatDirectory.h"

#include "Trova/DatFile.h"
#include "Trova/FileFactory.h"
#include "Trova/FileFactoryRegistry.h"
#include "Trova/TrovaDirectory.h"
#include "Util/Exception.h"
#include "Util/Platform.h"
#include "Util/Text.h"

#include <algorithm>

namespace Ostrel::Vellix {

DatDirectory::DatDirectory(const std::string& archivePath, const std::string& subdirectory)
    : archivePath_(archivePath), subdirectory_(Util::ToLower(subdirectory)) {
    const auto factory = Trova::GetFactoryRegistry().GetFactory(archivePath, false);
    if (factory && factory->HasFacet<Trova::GetDat>()) {
        archive_ = factory->GetFacet<Trova::GetDat>()->GetDatFile();
    }
    if (!archive_) {
        throw Util::XUsage(".DAT file not found");
    }
    for (std::uint32_t member = 0; member < archive_->GetSubfileCount(); ++member) {
        const std::string directory = Util::ToLower(archive_->GetSubfileDirectory(member));
        if (directory == subdirectory_) {
            members_.push_back(member);
        } else if (subdirectory_.empty() &&
                   std::find(subdirectories_.begin(), subdirectories_.end(), directory) ==
                       subdirectories_.end()) {
            subdirectories_.push_back(directory);
        }
    }
}

std::uint32_t DatDirectory::GetEntryCount() const {
    return static_cast<std::uint32_t>(subdirectories_.size() + members_.size());
}

bool DatDirectory::IsSubdirectory(std::uint32_t index) const {
    return index < subdirectories_.size();
}

std::uint32_t DatDirectory::MemberOf(std::uint32_t index) const {
    return members_[index - subdirectories_.size()];
}

std::string DatDirectory::GetEntryName(std::uint32_t index) const {
    if (IsSubdirectory(index)) {
        return subdirectories_[index];
    }
    return GetEntryBaseName(index) + "." + GetEntryExtension(index);
}

std::string DatDirectory::GetEntryBaseName(std::uint32_t index) const {
    return IsSubdirectory(index) ? subdirectories_[index]
                                 : archive_->GetSubfileName(MemberOf(index));
}

std::string DatDirectory::GetEntryExtension(std::uint32_t index) const {
    return IsSubdirectory(index) ? std::string() : archive_->GetSubfileExtension(MemberOf(index));
}

std::string DatDirectory::GetEntryQualifiedName(std::uint32_t index) const {
    const std::string base = GetEntryBaseName(index);
    return subdirectory_.empty() ? base : subdirectory_ + Util::kPathSeparator + base;
}

Util::CountedPtr<Trova::FileFactory> DatDirectory::GetFileFactory() const {
    // The archive's own factory: its members, whatever archive the directory itself has.
    return Trova::GetFactoryRegistry().GetFactory(archivePath_.GetFullName(), false);
}

Util::PathName DatDirectory::GetPathName() const {
    if (subdirectory_.empty()) {
        return archivePath_;
    }
    return Util::PathName(archivePath_.GetAsDirectory() + subdirectory_);
}

} // namespace Ostrel::Vellix
