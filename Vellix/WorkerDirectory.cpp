#include "Vellix/WorkerDirectory.h"

#include "Trova/FileFactoryRegistry.h"
#include "Trova/TrovaDirectory.h"
#include "Util/Exception.h"

namespace Ostrel::Vellix {

namespace {
constexpr char kSourceUnit[] = "WorkerDirectory";
}

WorkerDirectory::WorkerDirectory(const PseudoDirectory& shared, std::uint32_t index)
    : index_(index), name_(shared.GetEntryName(index)), baseName_(shared.GetEntryBaseName(index)),
      extension_(shared.GetEntryExtension(index)),
      qualifiedName_(shared.GetEntryQualifiedName(index)), path_(shared.GetPathName()) {
    OSTREL_ASSERT(!shared.IsArchive());
}

void WorkerDirectory::UseFactory(WorkerFactories& factories) {
    const std::string directory = Trova::TrovaDirectory(path_.GetFullName()).GetDirectoryPath();
    auto& factory = factories[directory];
    if (!factory) {
        factory = Trova::GetFactoryRegistry().MakeFactory(directory, false);
    }
    factory_ = factory;
}

FileSummary WorkerDirectory::Summarise(WorkerFactories& factories) {
    UseFactory(factories);
    FileSummary summary = SummariseEntry(*this, index_);
    if (factory_ && factory_->HasFacet<Trova::PurgeFactory>()) {
        factory_->GetFacet<Trova::PurgeFactory>()->Purge();
    }
    return summary;
}

OpenedTexture WorkerDirectory::Open(WorkerFactories& factories) {
    UseFactory(factories);
    OpenedTexture opened = OpenTexture(*this, index_);
    factory_ = {};
    return opened;
}

const std::string& WorkerDirectory::Check(std::uint32_t index, const std::string& value) const {
    OSTREL_ASSERT(index == index_);
    return value;
}

} // namespace Ostrel::Vellix
