#include "Vellix/ConversionBatch.h"

#include "Util/Exception.h"
#include "Util/PathName.h"
#include "Util/Platform.h"
#include "Vellix/BitmapList.h"
#include "Vellix/EntryPath.h"

#include <algorithm>

namespace Ostrel::Vellix {

namespace Platform = Util::Platform;

ConversionBatch::ConversionBatch(WrittenFileHandler onWritten) : onWritten_(std::move(onWritten)) {}

void ConversionBatch::Add(const PseudoDirectory& container, std::uint32_t index) {
    items_.push_back({&container, index, ListedKind(container, index)});
}

void ConversionBatch::AddPath(const std::string& path) {
    const EntryPath where = SplitEntryPath(path);
    Util::CountedPtr<PseudoDirectory>& container = owned_[where.ContainerKey()];
    if (!container) {
        container = OpenEntryContainer(where);
    }
    std::uint32_t index = 0;
    if (!FindEntryNamed(*container, where.name, index)) {
        throw Util::XFileOpen(path, "File not found");
    }
    Add(*container, index);
}

BitmapKind ConversionBatch::GetKind() const {
    if (items_.empty()) {
        return BitmapKind::Other;
    }
    const BitmapKind kind = items_.front().kind;
    const bool same = std::all_of(items_.begin(), items_.end(),
                                  [&](const Item& item) { return item.kind == kind; });
    return same ? kind : BitmapKind::Other;
}

namespace {

// A member name of a hostile archive may try to place files outside the BMP directory.
std::string SafeBaseName(const std::string& baseName) {
    if (baseName.empty() || baseName == "." || baseName == ".." ||
        baseName.find_first_of("/\\") != std::string::npos) {
        throw Util::XUsage("Unsuitable file name: " + baseName);
    }
    return baseName;
}

// The file object of a game-format entry, as its adapter finds it.
template <typename AdapterT>
auto GameFileOf(const PseudoDirectory& container, std::uint32_t index) {
    return MakeBitmapFile(container, index).template DynamicCast<AdapterT>()->GetFile();
}

// Fails as the conversion would when the entry does not have the levels asked for.
template <typename AdapterT>
void CheckLevels(const PseudoDirectory& container, std::uint32_t index, bool allLevels,
                 std::int32_t level) {
    ChooseLevels(allLevels, level, GameFileOf<AdapterT>(container, index)->GetBitmapCount(),
                 container.GetEntryName(index));
}

} // namespace

void ConversionBatch::Run(BitmapKind kind, bool makeBmpDirectory, std::int32_t method,
                          const ItemWork& check, const ItemWork& convert) {
    CheckMethod(method);
    std::vector<std::string> bases;
    for (const Item& item : items_) {
        const std::string name = item.container->GetEntryName(item.index);
        if (item.kind != kind) {
            throw Util::XUsage(name + " is not a " + KindName(kind) + " file");
        }
        bases.push_back(BmpDirectory(*item.container) +
                        SafeBaseName(item.container->GetEntryBaseName(item.index)));
        if (check) {
            check(item, bases.back());
        }
    }
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (makeBmpDirectory) {
            const std::string directory = Util::PathName(bases[i]).GetParentDirectory();
            if (!Platform::IsDirectory(directory)) {
                Platform::CreateDirectory(directory); // a failure shows in the file operations
            }
        }
        convert(items_[i], bases[i]);
    }
}

template <typename AdapterT>
void ConversionBatch::ToBmp(BitmapKind kind, const LevelsToBmpOptions& options) {
    const ToBmpSettings settings{options.allLevels, options.level, options.transparency,
                                 options.overwrite};
    Run(
        kind, true, options.transparency.method,
        [&](const Item& item, const std::string&) {
            CheckLevels<AdapterT>(*item.container, item.index, settings.allLevels, settings.level);
        },
        [&](const Item& item, const std::string& base) {
            LevelsToBmp(*GameFileOf<AdapterT>(*item.container, item.index), base, settings,
                        onWritten_);
        });
}

template <typename AdapterT>
void ConversionBatch::FromBmp(BitmapKind kind, const LevelsFromBmpOptions& options) {
    const FromBmpSettings settings{options.allLevels, options.level, options.generateSubLevels,
                                   options.transparency, options.overwrite};
    Run(
        kind, true, options.transparency.method,
        [&](const Item& item, const std::string&) {
            CheckLevels<AdapterT>(*item.container, item.index, settings.allLevels, settings.level);
        },
        [&](const Item& item, const std::string& base) {
            // Never the shared file object: the list still shows what is on disk.
            const auto copy = GameFileOf<AdapterT>(*item.container, item.index)->Clone();
            LevelsFromBmp(*copy, base, item.container->GetEntryExtension(item.index), settings,
                          onWritten_);
        });
}

void ConversionBatch::Convert(const MipBmpOptions& options) {
    ToBmp<BitmapFileMip>(BitmapKind::Mip, options);
}

void ConversionBatch::Convert(const SrbBmpOptions& options) {
    ToBmp<BitmapFileSrb>(BitmapKind::Srb, options);
}

void ConversionBatch::Convert(const PbfBmpOptions& options) {
    Run(BitmapKind::Pbf, true, options.transparency.method, nullptr,
        [&](const Item& item, const std::string& base) {
            PictureToBmp(*GameFileOf<BitmapFilePbf>(*item.container, item.index), base,
                         options.transparency, options.overwrite, onWritten_);
        });
}

void ConversionBatch::Convert(const MipFromBmpOptions& options) {
    FromBmp<BitmapFileMip>(BitmapKind::Mip, options);
}

void ConversionBatch::Convert(const SrbFromBmpOptions& options) {
    FromBmp<BitmapFileSrb>(BitmapKind::Srb, options);
}

void ConversionBatch::Convert(const PbfFromBmpOptions& options) {
    Run(BitmapKind::Pbf, true, options.transparency.method, nullptr,
        [&](const Item& item, const std::string& base) {
            const auto copy = GameFileOf<BitmapFilePbf>(*item.container, item.index)->Clone();
            PictureFromBmp(*copy, base, item.container->GetEntryExtension(item.index),
                           options.transparency, options.overwrite, onWritten_);
        });
}

void ConversionBatch::Convert(const BmpMipOptions& options) {
    Run(BitmapKind::Bmp, false, options.transparency.method, nullptr,
        [&](const Item& item, const std::string& base) {
            NewMipFromBmp(*item.container->GetFileFactory(), base, options, onWritten_);
        });
}

void ConversionBatch::Convert(const BmpPbfOptions& options) {
    Run(BitmapKind::Bmp, false, options.transparency.method, nullptr,
        [&](const Item& item, const std::string& base) {
            NewPbfFromBmp(*item.container->GetFileFactory(), base, options, onWritten_);
        });
}

void ConversionBatch::Convert(const BmpSrbOptions& options) {
    Run(BitmapKind::Bmp, false, options.transparency.method, nullptr,
        [&](const Item& item, const std::string& base) {
            NewSrbFromBmp(*item.container->GetFileFactory(), base, options, onWritten_);
        });
}

} // namespace Ostrel::Vellix
