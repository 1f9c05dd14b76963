#pragma once

// The files of one conversion command, converted one by one in the order they were added. The
// desktop list view fills a batch from its selection, the command-line tool from paths; both run
// it with the options of the matching dialog. Every file's names, kind and levels are checked
// before the first file is written. The first failure ends the batch and propagates, unless the
// batch keeps going; files written before it stay. Each file's outcome (what was read, written,
// skipped, or why it failed) is kept for the caller to show.

#include "Util/CountedPtr.h"
#include "Util/Platform.h"
#include "Vellix/BitmapFile.h"
#include "Vellix/ConversionFailure.h"
#include "Vellix/ConversionOptions.h"
#include "Vellix/Conversions.h"
#include "Vellix/EntryPath.h"
#include "Vellix/PseudoDirectory.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace Ostrel::Vellix {

// Where a batch puts and finds its files, and what it does after a failure.
struct BatchSettings {
    // Pictures written from game files, and new game files, go below this directory, each at its
    // place relative to what named it (see ConversionBatch::Add). Empty: beside the game files
    // (the BMP directory) and beside the pictures.
    std::string output;
    // Where pictures put back into existing game files are read, laid out as output lays them
    // out. Empty: the BMP directory.
    std::string pictures;
    // Write nothing; report every file as it would be read, written or replaced.
    bool dryRun = false;
    // A failure ends only its own file instead of the batch.
    bool keepGoing = false;
    // Files converted at once, each on a thread of its own. Files in archives are converted one
    // by one. The outcomes, the order of reports and of writing and the first failure stay as
    // with one: no file after a failed one is written.
    unsigned jobs = 1;
    // How failure messages name the option that would have worked.
    OptionNaming naming = OptionNaming::CommandLine;
};

// The jobs both front ends use unless told otherwise: one per processor.
unsigned DefaultJobs();

// What became of one file of a batch.
struct FileOutcome {
    std::string file;
    std::vector<std::string> read;
    std::vector<std::string> written;  // or would be, in a dry run
    std::vector<std::string> replaced; // those written over an existing file
    std::string skipped;               // why the file was left alone; empty when it was not
    std::string failure;               // the message of its failure; empty when there was none
};

// Receives the path of every file a batch has written.
using WrittenFileHandler = std::function<void(const std::string& path)>;
// Told before each file (and once at the end): files done, files in all, the next file.
using BatchProgress =
    std::function<void(std::size_t done, std::size_t total, const std::string& file)>;
// Asked before each file; true ends the batch, and the files not reached are skipped.
using BatchCancel = std::function<bool()>;

class ConversionBatch {
public:
    explicit ConversionBatch(WrittenFileHandler onWritten = nullptr);

    void SetSettings(BatchSettings settings) { settings_ = std::move(settings); }
    void SetProgress(BatchProgress progress) { progress_ = std::move(progress); }
    void SetCancel(BatchCancel cancel) { cancel_ = std::move(cancel); }

    // An entry of a container that the caller keeps alive while the batch runs. relative is its
    // place below the output directory: a path without extension, relative to what the user
    // named; empty for the entry's base name.
    void Add(const PseudoDirectory& container, std::uint32_t index, std::string relative = "");
    // A loose file, or an archive member written as the archive's path, a separator and the
    // member's name (with the directory inside the archive before it, if any). Names are
    // matched without regard to case. Throws XFileOpen "File not found" when there is no such
    // file.
    void AddPath(const std::string& path, std::string relative = "");

    std::size_t GetCount() const { return items_.size(); }
    // One command per options type. Every file must be of the kind the options are for.
    void Convert(const MipBmpOptions& options);
    void Convert(const SrbBmpOptions& options);
    void Convert(const PbfBmpOptions& options);
    void Convert(const MipFromBmpOptions& options);
    void Convert(const SrbFromBmpOptions& options);
    void Convert(const PbfFromBmpOptions& options);
    void Convert(const BmpMipOptions& options);
    void Convert(const BmpPbfOptions& options);
    void Convert(const BmpSrbOptions& options);
    // Any mix of MIP, PBF/STP and SRB files: the level settings apply to the files with levels.
    void ConvertToBmp(const ToBmpSettings& settings);
    void ConvertFromBmp(const FromBmpSettings& settings);

    // One per file, in the order added, once a command has run (also when it failed).
    const std::vector<FileOutcome>& GetOutcomes() const { return outcomes_; }
    bool HasFailures() const;
    // Remarks on the batch as a whole, such as options some of its files have no use for.
    const std::vector<std::string>& GetNotes() const { return notes_; }

private:
    struct Item {
        const PseudoDirectory* container;
        std::uint32_t index;
        BitmapKind kind;
        std::string path;
        std::string relative;
    };
    // What a command checks of every file before the first is written, and its conversion.
    struct Job {
        std::vector<BitmapKind> kinds;
        std::int32_t method;
        std::function<void(const Item& item)> check;
        std::function<void(const Item& item, const FileReporter& files)> convert;
    };

    void ToBmp(const ToBmpSettings& settings, const std::vector<BitmapKind>& kinds);
    void FromBmp(const FromBmpSettings& settings, const std::vector<BitmapKind>& kinds);
    static std::function<void(const Item& item)> LevelCheck(bool allLevels, std::int32_t level);
    void Run(const Job& job);
    void CheckAll(const Job& job, std::vector<bool>& failed);
    bool StartOne(std::size_t index);
    void ConvertOne(const Job& job, std::size_t index);
    void ConvertItem(const Job& job, const Item& item, const FileReporter& files) const;
    void ConvertSpread(const Job& job, const std::vector<bool>& failed);
    void Fail(std::size_t index);
    FileReporter ReporterFor(std::size_t index, bool spread = false);
    void Claim(const std::string& path);
    std::string PicturesBase(const Item& item, const std::string& root) const;
    std::string TargetBase(const Item& item) const;
    void NoteLevelsIgnored(bool levelsChosen);
    template <typename NewT, typename OptionsT>
    void ConvertNew(const OptionsT& options, const NewT& make);

    // Names are found by case through one index per directory for the batch's life.
    Util::Platform::CaseIndexScope caseIndex_;
    WrittenFileHandler onWritten_;
    BatchSettings settings_;
    BatchProgress progress_;
    BatchCancel cancel_;
    std::map<std::string, Util::CountedPtr<PseudoDirectory>> owned_;
    std::map<std::string, EntryNameIndex> ownedNames_;
    std::vector<Item> items_;
    std::vector<FileOutcome> outcomes_;
    std::vector<std::string> notes_;
    std::set<std::string> claimed_; // the paths written so far, lower-cased
};

} // namespace Ostrel::Vellix
