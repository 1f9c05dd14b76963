#pragma once

#include "Trova/FileFactoryRegistry.h"

namespace Ostrel::Trova {

// Recognises the GPL game family's directories and archives by the signatures of their .3do,
// .trk, .rpy and .lyt files, and builds factories with the family's facets.
class GPLFileFactoryRecognizer : public FileFactoryRecognizer {
public:
    // Registers itself with the registry.
    explicit GPLFileFactoryRecognizer(bool isDefault);
    // Leaves the registry, which never points at a recognizer that is gone.
    ~GPLFileFactoryRecognizer() override;

    Util::CountedPtr<FileFactory> CreateFactory(const TrovaDirectory& directory,
                                                bool update) override;
    Util::CountedPtr<FileFactory> CreateDatFactory(const std::string& path, bool update) override;
    bool IsDat(const std::string& path) override;
    bool IsOwnDat(const std::string& path) override;
    bool IsOwnDirectory(const TrovaDirectory& directory) override;
    bool IsDefault() const override { return isDefault_; }
    void SetDefault(bool isDefault) override { isDefault_ = isDefault; }

private:
    bool isDefault_;
};

} // namespace Ostrel::Trova
