#pragma once

// The five conversion commands as a batch. The desktop list view fills a batch from its selection,
// the command-line tool from paths; both run it with the options of the matching dialog. The first
// failure ends the batch and propagates; files written before it stay, and each written file is
// reported as soon as it is complete.

#include "Util/CountedPtr.h"
#include "Util/Platform.h"
#include "Vellix/BitmapFile.h"
#include "Vellix/ConversionOptions.h"
#include "Vellix/Conversions.h"
#include "Vellix/PseudoDirectory.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace Ostrel::Vellix {

// The selected files of one command, converted one by one in the order they were added.
class ConversionBatch {
public:
    explicit ConversionBatch(WrittenFileHandler onWritten = nullptr);

    // An entry of a container that the caller keeps alive while the batch runs.
    void Add(const PseudoDirectory& container, std::uint32_t index);
    // A loose file, or an archive member written as the archive's path, a separator and the
    // member's name (with the directory inside the archive before it, if any). Names are
    // matched without regard to case. Throws XFileOpen "File not found" when there is no such
    // file.
    void AddPath(const std::string& path);

    std::size_t GetCount() const { return items_.size(); }
    // The kind all files share; Other when they differ or there are none.
    BitmapKind GetKind() const;

    // One command per options type. Every file must be of the kind the options are for (XUsage
    // otherwise); the files, their levels and the transparency method are checked before the
    // first file is written.
    void Convert(const MipBmpOptions& options);
    void Convert(const SrbBmpOptions& options);
    void Convert(const PbfBmpOptions& options);
    void Convert(const MipFromBmpOptions& options);
    void Convert(const SrbFromBmpOptions& options);
    void Convert(const PbfFromBmpOptions& options);
    void Convert(const BmpMipOptions& options);
    void Convert(const BmpPbfOptions& options);
    void Convert(const BmpSrbOptions& options);

private:
    struct Item {
        const PseudoDirectory* container;
        std::uint32_t index;
        BitmapKind kind;
    };
    using ItemWork = std::function<void(const Item& item, const std::string& base)>;

    void Run(BitmapKind kind, bool makeBmpDirectory, std::int32_t method, const ItemWork& check,
             const ItemWork& convert);
    template <typename AdapterT> void ToBmp(BitmapKind kind, const LevelsToBmpOptions& options);
    template <typename AdapterT> void FromBmp(BitmapKind kind, const LevelsFromBmpOptions& options);

    // Names are found by case through one index per directory for the batch's life.
    Util::Platform::CaseIndexScope caseIndex_;
    WrittenFileHandler onWritten_;
    std::map<std::string, Util::CountedPtr<PseudoDirectory>> owned_;
    std::vector<Item> items_;
};

} // namespace Ostrel::Vellix
