#include "Vellix/ConversionBatch.h"

#include "Trova/MipFile.h"
#include "Trova/PbfFile.h"
#include "Trova/SrbFile.h"
#include "Util/Exception.h"
#include "Util/PathName.h"
#include "Util/Platform.h"
#include "Util/SafeWrite.h"
#include "Util/Text.h"
#include "Vellix/BitmapList.h"
#include "Vellix/EntryPath.h"
#include "Vellix/OrderedRun.h"
#include "Vellix/WorkerDirectory.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <thread>

namespace Ostrel::Vellix {

namespace {

namespace Platform = Util::Platform;

const std::vector<BitmapKind> kGameKinds = {BitmapKind::Mip, BitmapKind::Pbf, BitmapKind::Srb};

// A relative place made from names of a hostile archive may lead outside the BMP directory.
std::string SafeRelative(const std::string& relative) {
    for (std::size_t start = 0; start <= relative.size();) {
        const std::size_t end =
            std::min(relative.find(Util::kPathSeparator, start), relative.size());
        Util::CheckedFileName(relative.substr(start, end - start));
        start = end + 1;
    }
    return relative;
}

// The directory as a full path with a trailing separator, so that every path the batch reports
// is a full one.
std::string WithSeparator(const std::string& directory) {
    return Util::PathName(directory).GetAsDirectory();
}

// A failure shows in the file operations that follow.
void MakeParentDirectory(const std::string& base) {
    Platform::CreateDirectories(Util::PathName(base).GetParentDirectory());
}

std::string MessageOf(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const Util::Exception& error) {
        return error.Message();
    } catch (const std::exception& error) {
        return error.what();
    }
}

std::string KindsText(const std::vector<BitmapKind>& kinds) {
    if (kinds.size() == 1) {
        return KindName(kinds.front());
    }
    return kinds.front() == BitmapKind::Bmp ? "BMP or PNG" : "MIP, PBF/STP or SRB";
}

void AddOnce(std::vector<std::string>& list, const std::string& path) {
    if (std::find(list.begin(), list.end(), path) == list.end()) {
        list.push_back(path);
    }
}

// The file object of a game-format entry, as its adapter finds it.
template <typename AdapterT>
auto GameFileOf(const PseudoDirectory& container, std::uint32_t index) {
    return MakeBitmapFile(container, index).template DynamicCast<AdapterT>()->GetFile();
}

// The file object of a MIP or SRB entry.
Util::CountedPtr<Trova::LevelTexture> LevelFileOf(const PseudoDirectory& container,
                                                  std::uint32_t index, BitmapKind kind) {
    if (kind == BitmapKind::Mip) {
        return GameFileOf<BitmapFileMip>(container, index);
    }
    return GameFileOf<BitmapFileSrb>(container, index);
}

// A deep copy of the file object of a MIP or SRB entry.
Util::CountedPtr<Trova::LevelTexture> LevelFileCopyOf(const PseudoDirectory& container,
                                                      std::uint32_t index, BitmapKind kind) {
    if (kind == BitmapKind::Mip) {
        return GameFileOf<BitmapFileMip>(container, index)->Clone();
    }
    return GameFileOf<BitmapFileSrb>(container, index)->Clone();
}

} // namespace

unsigned DefaultJobs() {
    return std::max(1u, std::thread::hardware_concurrency());
}

ConversionBatch::ConversionBatch(WrittenFileHandler onWritten) : onWritten_(std::move(onWritten)) {}

void ConversionBatch::Add(const PseudoDirectory& container, std::uint32_t index,
                          std::string relative) {
    if (relative.empty()) {
        relative = container.GetEntryBaseName(index);
    }
    const std::string path = container.GetPathName().GetFullName() + Util::kPathSeparator +
                             container.GetEntryName(index);
    items_.push_back({&container, index, ListedKind(container, index), path, std::move(relative)});
}

void ConversionBatch::AddPath(const std::string& path, std::string relative) {
    const EntryPath where = SplitEntryPath(path);
    const std::string key = where.ContainerKey();
    Util::CountedPtr<PseudoDirectory>& container = owned_[key];
    if (!container) {
        container = OpenEntryContainer(where);
    }
    // A batch of thousands of files of one folder looks each up in one index of its names.
    const EntryNameIndex& names = ownedNames_.try_emplace(key, *container).first->second;
    std::uint32_t index = 0;
    if (!names.Find(where.name, index)) {
        throw Util::XFileOpen(path, "File not found");
    }
    Add(*container, index, std::move(relative));
    items_.back().path = path;
}

bool ConversionBatch::HasFailures() const {
    return std::any_of(outcomes_.begin(), outcomes_.end(),
                       [](const FileOutcome& outcome) { return !outcome.failure.empty(); });
}

// ---- Running -----------------------------------------------------------------------------------

void ConversionBatch::Run(const Job& job) {
    CheckMethod(job.method);
    claimed_.clear();
    outcomes_.assign(items_.size(), {});
    for (std::size_t index = 0; index < items_.size(); ++index) {
        outcomes_[index].file = items_[index].path;
    }
    std::vector<bool> failed(items_.size());
    CheckAll(job, failed);
    const bool inArchive = std::any_of(
        items_.begin(), items_.end(), [](const Item& item) { return item.container->IsArchive(); });
    if (settings_.jobs > 1 && items_.size() > 1 && !inArchive) {
        ConvertSpread(job, failed);
    } else {
        for (std::size_t index = 0; index < items_.size() && StartOne(index); ++index) {
            if (!failed[index]) {
                ConvertOne(job, index);
            }
        }
    }
    if (progress_) {
        progress_(items_.size(), items_.size(), "");
    }
}

// Before each file: false when the batch is cancelled, which skips the files not reached.
bool ConversionBatch::StartOne(std::size_t index) {
    if (cancel_ && cancel_()) {
        for (std::size_t rest = index; rest < items_.size(); ++rest) {
            outcomes_[rest].skipped = "Cancelled";
        }
        return false;
    }
    if (progress_) {
        progress_(index, items_.size(), items_[index].path);
    }
    return true;
}

// Every file before the first is written, so that a batch that cannot go through as a whole
// writes nothing unless it keeps going.
void ConversionBatch::CheckAll(const Job& job, std::vector<bool>& failed) {
    for (std::size_t index = 0; index < items_.size(); ++index) {
        const Item& item = items_[index];
        try {
            if (std::find(job.kinds.begin(), job.kinds.end(), item.kind) == job.kinds.end()) {
                throw Util::XUsage(item.container->GetEntryName(item.index) + " is not a " +
                                   KindsText(job.kinds) + " file");
            }
            Util::CheckedFileName(item.container->GetEntryBaseName(item.index));
            SafeRelative(item.relative);
            if (job.check) {
                job.check(item);
            }
        } catch (...) {
            Fail(index);
            failed[index] = true;
        }
    }
}

void ConversionBatch::ConvertOne(const Job& job, std::size_t index) {
    try {
        ConvertItem(job, items_[index], ReporterFor(index));
    } catch (...) {
        Fail(index);
    }
}

// A failure that names an option names it as the front end does.
void ConversionBatch::ConvertItem(const Job& job, const Item& item,
                                  const FileReporter& files) const {
    try {
        job.convert(item, files);
    } catch (XConversion& error) {
        error.SetNaming(settings_.naming);
        throw;
    }
}

void ConversionBatch::Fail(std::size_t index) {
    outcomes_[index].failure = MessageOf(std::current_exception());
    if (!settings_.keepGoing) {
        throw;
    }
}

// A file converted on a worker thread (spread) has its written files only noted, to be told
// later on the calling thread, and claims its names only in its turn, when every file before it
// is done: so the claims come in the batch's order, one file at a time.
FileReporter ConversionBatch::ReporterFor(std::size_t index, bool spread) {
    FileOutcome& outcome = outcomes_[index];
    return {settings_.dryRun, [&outcome](const std::string& path) { AddOnce(outcome.read, path); },
            [this, &outcome, spread](const std::string& path, bool replaced) {
                outcome.written.push_back(path);
                if (replaced) {
                    outcome.replaced.push_back(path);
                }
                if (onWritten_ && !settings_.dryRun && !spread) {
                    onWritten_(path);
                }
            },
            [this, spread](const std::string& path) {
                if (spread) {
                    Util::PassCommitGate();
                }
                Claim(path);
            }};
}

// Two files of a batch whose names differ only in extension (fence.mip and fence.srb) would
// write the same picture: the second would silently take the first one's place.
void ConversionBatch::Claim(const std::string& path) {
    if (!claimed_.insert(Util::ToLower(path)).second) {
        throw Util::XUsage(path + " is written for another file of the batch already");
    }
}

// ---- Several files at once ---------------------------------------------------------------------

// The files go to worker threads in order; the calling thread reports progress, asks whether to
// cancel and tells the written files, all in order. The first failure in order is the one that
// propagates.
void ConversionBatch::ConvertSpread(const Job& job, const std::vector<bool>& failed) {
    const unsigned threads =
        static_cast<unsigned>(std::min<std::size_t>(settings_.jobs, items_.size()));
    std::vector<std::unique_ptr<WorkerDirectory>> directories(items_.size());
    std::vector<WorkerFactories> factories(threads);
    std::vector<std::exception_ptr> errors(items_.size());
    std::vector<bool> started(items_.size());
    OrderedRunSteps steps;
    steps.start = [&](std::size_t index) {
        if (!StartOne(index)) {
            return false;
        }
        directories[index] =
            std::make_unique<WorkerDirectory>(*items_[index].container, items_[index].index);
        started[index] = true;
        return true;
    };
    steps.work = [&](std::size_t index, unsigned worker) {
        // The worker owns the directory from here, so that it alone counts its factory's owners.
        const std::unique_ptr<WorkerDirectory> directory = std::move(directories[index]);
        if (failed[index]) {
            return true;
        }
        directory->UseFactory(factories[worker]);
        Item item = items_[index];
        item.container = directory.get();
        try {
            ConvertItem(job, item, ReporterFor(index, true));
        } catch (const XAbandoned& abandoned) {
            outcomes_[index].skipped = abandoned.Message();
        } catch (...) {
            outcomes_[index].failure = MessageOf(std::current_exception());
            errors[index] = std::current_exception();
            return settings_.keepGoing;
        }
        return true;
    };
    steps.finish = [&](std::size_t index) {
        if (onWritten_ && !settings_.dryRun) {
            for (const std::string& path : outcomes_[index].written) {
                onWritten_(path);
            }
        }
    };
    RunInOrder(items_.size(), threads, steps);
    for (std::size_t index = 0; index < items_.size(); ++index) {
        if (!started[index] && outcomes_[index].skipped.empty() && !failed[index]) {
            outcomes_[index].skipped = XAbandoned().Message();
        }
    }
    factories.clear();
    const auto first =
        std::find_if(errors.begin(), errors.end(),
                     [](const std::exception_ptr& error) { return error != nullptr; });
    if (first != errors.end() && !settings_.keepGoing) {
        std::rethrow_exception(*first);
    }
}

// ---- Names -------------------------------------------------------------------------------------

// Where a file's pictures are: below root at the file's relative place, or in the BMP directory.
std::string ConversionBatch::PicturesBase(const Item& item, const std::string& root) const {
    if (!root.empty()) {
        return WithSeparator(root) + item.relative;
    }
    return BmpDirectory(*item.container) + item.container->GetEntryBaseName(item.index);
}

// An existing game file is written where its pictures would go without an output directory.
std::string ConversionBatch::TargetBase(const Item& item) const {
    return PicturesBase(item, "");
}

void ConversionBatch::NoteLevelsIgnored(bool levelsChosen) {
    notes_.clear();
    const bool anyPicture = std::any_of(items_.begin(), items_.end(), [](const Item& item) {
        return item.kind == BitmapKind::Pbf;
    });
    if (levelsChosen && anyPicture) {
        notes_.push_back("PBF/STP files hold one picture: the level options were ignored for them");
    }
}

// ---- Commands ----------------------------------------------------------------------------------

// The level chosen must be one of every file's levels; files without levels have no choice.
std::function<void(const ConversionBatch::Item&)> ConversionBatch::LevelCheck(bool allLevels,
                                                                              std::int32_t level) {
    return [allLevels, level](const Item& item) {
        if (item.kind != BitmapKind::Pbf) {
            ChooseLevels(allLevels, level,
                         LevelFileOf(*item.container, item.index, item.kind)->GetBitmapCount(),
                         item.container->GetEntryName(item.index));
        }
    };
}

void ConversionBatch::ConvertToBmp(const ToBmpSettings& settings) {
    ToBmp(settings, kGameKinds);
}

void ConversionBatch::ConvertFromBmp(const FromBmpSettings& settings) {
    FromBmp(settings, kGameKinds);
}

void ConversionBatch::ToBmp(const ToBmpSettings& settings, const std::vector<BitmapKind>& kinds) {
    NoteLevelsIgnored(settings.allLevels || settings.level != 1);
    const auto check = LevelCheck(settings.allLevels, settings.level);
    const auto convert = [&](const Item& item, const FileReporter& files) {
        files.Read(item.path);
        const std::string base = PicturesBase(item, settings_.output);
        if (!settings_.dryRun) {
            MakeParentDirectory(base);
        }
        const PseudoDirectory& container = *item.container;
        const std::string name = container.GetEntryName(item.index);
        if (item.kind == BitmapKind::Pbf) {
            PictureToBmp(*GameFileOf<BitmapFilePbf>(container, item.index), name, base,
                         settings.transparency, settings.overwrite, files);
        } else {
            LevelsToBmp(*LevelFileOf(container, item.index, item.kind), name, base, settings,
                        files);
        }
    };
    Run({kinds, settings.transparency.method, check, convert});
}

void ConversionBatch::FromBmp(const FromBmpSettings& settings,
                              const std::vector<BitmapKind>& kinds) {
    NoteLevelsIgnored(settings.allLevels || settings.level != 1 || !settings.generateSubLevels);
    const auto check = LevelCheck(settings.allLevels, settings.level);
    const auto convert = [&](const Item& item, const FileReporter& files) {
        files.Read(item.path);
        const ConversionNames names{PicturesBase(item, settings_.pictures), TargetBase(item)};
        if (!settings_.dryRun) {
            MakeParentDirectory(names.target);
        }
        const PseudoDirectory& container = *item.container;
        const std::string extension = container.GetEntryExtension(item.index);
        // Never the shared file object: the list still shows what is on disk.
        if (item.kind == BitmapKind::Pbf) {
            const auto copy = GameFileOf<BitmapFilePbf>(container, item.index)->Clone();
            PictureFromBmp(*copy, names, extension, settings.transparency, settings.overwrite,
                           files);
        } else {
            LevelsFromBmp(*LevelFileCopyOf(container, item.index, item.kind), names, extension,
                          settings, files);
        }
    };
    Run({kinds, settings.transparency.method, check, convert});
}

template <typename NewT, typename OptionsT>
void ConversionBatch::ConvertNew(const OptionsT& options, const NewT& make) {
    NoteLevelsIgnored(false);
    const auto convert = [&](const Item& item, const FileReporter& files) {
        const std::string pictures = PicturesBase(item, "");
        const ConversionNames names{
            pictures,
            settings_.output.empty() ? pictures : WithSeparator(settings_.output) + item.relative};
        if (!settings_.dryRun) {
            MakeParentDirectory(names.target);
        }
        // The picture is the listed file itself, BMP or PNG.
        make(*item.container->GetFileFactory(), names,
             "." + item.container->GetEntryExtension(item.index), options, files);
    };
    Run({{BitmapKind::Bmp, BitmapKind::Png}, options.transparency.method, nullptr, convert});
}

namespace {

ToBmpSettings ToBmpSettingsOf(const LevelsToBmpOptions& options) {
    return {options.allLevels, options.level, options.transparency, options.overwrite};
}

FromBmpSettings FromBmpSettingsOf(const LevelsFromBmpOptions& options) {
    return {options.allLevels,    options.level,     options.generateSubLevels,
            options.transparency, options.overwrite, options.keepPalette};
}

// The one-picture dialogs have no level fields: their settings are the defaults.
ToBmpSettings ToBmpSettingsOf(const PbfBmpOptions& options) {
    return {false, 1, options.transparency, options.overwrite};
}

FromBmpSettings FromBmpSettingsOf(const PbfFromBmpOptions& options) {
    return {false, 1, true, options.transparency, options.overwrite};
}

} // namespace

void ConversionBatch::Convert(const MipBmpOptions& options) {
    ToBmp(ToBmpSettingsOf(options), {BitmapKind::Mip});
}

void ConversionBatch::Convert(const SrbBmpOptions& options) {
    ToBmp(ToBmpSettingsOf(options), {BitmapKind::Srb});
}

void ConversionBatch::Convert(const PbfBmpOptions& options) {
    ToBmp(ToBmpSettingsOf(options), {BitmapKind::Pbf});
}

void ConversionBatch::Convert(const MipFromBmpOptions& options) {
    FromBmp(FromBmpSettingsOf(options), {BitmapKind::Mip});
}

void ConversionBatch::Convert(const SrbFromBmpOptions& options) {
    FromBmp(FromBmpSettingsOf(options), {BitmapKind::Srb});
}

void ConversionBatch::Convert(const PbfFromBmpOptions& options) {
    FromBmp(FromBmpSettingsOf(options), {BitmapKind::Pbf});
}

void ConversionBatch::Convert(const BmpMipOptions& options) {
    ConvertNew(options, NewMipFromBmp);
}

void ConversionBatch::Convert(const BmpPbfOptions& options) {
    ConvertNew(options, NewPbfFromBmp);
}

void ConversionBatch::Convert(const BmpSrbOptions& options) {
    ConvertNew(options, NewSrbFromBmp);
}

} // namespace Ostrel::Vellix
