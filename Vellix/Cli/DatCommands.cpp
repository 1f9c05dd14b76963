// dat list, dat extract and dat build: the archive operations, through the archive's factory.

#include "Trova/DatFile.h"
#include "Trova/FileFactory.h"
#include "Trova/FileFactoryRegistry.h"
#include "Trova/ICR2DatFile.h"
#include "Trova/TrovaDirectory.h"
#include "Util/BinaryFile.h"
#include "Util/PathName.h"
#include "Util/Platform.h"
#include "Util/SafeWrite.h"
#include "Util/Text.h"
#include "Vellix/ArchiveEditor.h"
#include "Vellix/BatchFiles.h"
#include "Vellix/Cli/Commands.h"
#include "Vellix/Cli/Report.h"

#include <algorithm>
#include <iostream>
#include <numeric>

namespace Ostrel::Vellix::Cli {

namespace {

using Util::CountedPtr;
namespace Platform = Util::Platform;

// The archive a path names: a DAT file, or a game directory's own archive.
CountedPtr<Trova::DatFile> OpenArchive(const std::string& path) {
    const std::string resolved = Platform::ResolveCase(path);
    if (!Platform::IsFile(resolved) && !Platform::IsDirectory(resolved)) {
        throw Util::XFileOpen(path, "File not found");
    }
    const auto factory = Trova::GetFactoryRegistry().GetFactory(resolved, false);
    CountedPtr<Trova::DatFile> archive;
    if (factory && factory->HasFacet<Trova::GetDat>()) {
        archive = factory->GetFacet<Trova::GetDat>()->GetDatFile();
    }
    if (!archive) {
        throw Util::XUsage(".DAT file not found");
    }
    return archive;
}

// The member's name inside the archive, with its directory if it has one.
std::string MemberName(const Trova::DatFile& archive, std::uint32_t index) {
    const std::string directory = archive.GetSubfileDirectory(index);
    std::string name = archive.GetSubfileName(index);
    const std::string extension = archive.GetSubfileExtension(index);
    if (!extension.empty()) {
        name += "." + extension;
    }
    return directory.empty() ? name : directory + Util::kPathSeparator + name;
}

// Read in pieces, so that a size the archive claims but does not hold is never allocated.
std::vector<std::uint8_t> ReadMember(Util::BinaryStream& stream) {
    constexpr std::uint64_t kPiece = 1 << 16;
    const std::uint64_t size = stream.GetSize();
    std::vector<std::uint8_t> data;
    while (data.size() < size) {
        const std::size_t done = data.size();
        const auto piece = static_cast<std::uint32_t>(std::min(kPiece, size - done));
        data.resize(done + piece);
        stream.Read(piece, data.data() + done);
    }
    return data;
}

// The member's bytes as a file of the directory; dat extract's outcome for it.
FileOutcome Extract(Trova::DatFile& archive, std::uint32_t index, const std::string& directory,
                    bool overwrite, bool dryRun) {
    const std::string name = MemberName(archive, index);
    Util::CheckedFileName(name); // the archive is not to be trusted
    const std::string path = Platform::ResolveCase(directory + name);
    const std::string& archivePath = archive.GetPath().GetFullName();
    if (Platform::IsSameFile(path, archivePath)) {
        throw Util::XFileOpen(path, "This is the archive being extracted");
    }
    FileOutcome outcome;
    outcome.file = archivePath + Util::kPathSeparator + name;
    outcome.read.push_back(outcome.file);
    outcome.written.push_back(path);
    if (Platform::IsFile(path)) {
        outcome.replaced.push_back(path);
    }
    if (dryRun) {
        if (!overwrite && !outcome.replaced.empty()) {
            throw Util::XFileOpen(path, "File exists");
        }
        return outcome;
    }
    const std::vector<std::uint8_t> data = ReadMember(*archive.OpenSubfile(index));
    Util::WriteSafely(path, overwrite, [&](const auto& stream) {
        if (!data.empty()) {
            stream->Write(static_cast<std::uint32_t>(data.size()), data.data());
        }
    });
    return outcome;
}

void ExtractAll(const Arguments& arguments, Trova::DatFile& archive,
                const std::vector<std::uint32_t>& chosen, const std::string& directory,
                std::vector<FileOutcome>& outcomes) {
    const bool dryRun = arguments.Has("dry-run");
    if (!dryRun && !Platform::CreateDirectories(directory)) {
        throw Util::XFileOpen(directory, Platform::LastErrorText());
    }
    const WrittenFiles written(arguments);
    for (const std::uint32_t index : chosen) {
        outcomes.push_back(Extract(archive, index, directory, arguments.Has("overwrite"), dryRun));
        if (!dryRun && !arguments.Has("json")) {
            written(outcomes.back().written.front());
        }
    }
}

// The archives that operands name, or that lie below the directories they name.
std::vector<BatchFile> FindArchives(const std::vector<std::string>& operands) {
    BatchFiles found;
    for (const std::string& operand : operands) {
        FindArchiveFiles(operand, found);
    }
    return found.files;
}

std::string MemberKind(const Trova::DatFile& archive, std::uint32_t index) {
    return KindName(KindOfExtension(archive.GetSubfileExtension(index)));
}

Report MemberReport(const Trova::DatFile& archive, std::uint32_t index) {
    return Report::Object()
        .Add("name", Report::Text(MemberName(archive, index)))
        .Add("size", Report::Integer(archive.GetSubfileSize(index)))
        .Add("offset", Report::Integer(archive.GetSubfileOffset(index)))
        .Add("kind", Report::Text(MemberKind(archive, index)));
}

// Archive order unless a column is chosen: name (without regard to case), size or offset.
void SortMembers(const Trova::DatFile& archive, std::optional<std::int32_t> column,
                 std::vector<std::uint32_t>& order) {
    if (!column) {
        return;
    }
    const auto key = [&](std::uint32_t index) {
        return *column == 1 ? archive.GetSubfileSize(index) : archive.GetSubfileOffset(index);
    };
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return *column == 0
                   ? Util::CompareNoCase(MemberName(archive, a), MemberName(archive, b)) < 0
                   : key(a) < key(b);
    });
}

// The members to extract: all, or those named, each name matched without regard to case.
std::vector<std::uint32_t> ChooseMembers(const Trova::DatFile& archive,
                                         const std::vector<std::string>& names) {
    std::vector<std::uint32_t> chosen;
    for (std::uint32_t index = 0; index < archive.GetSubfileCount(); ++index) {
        const std::string member = MemberName(archive, index);
        const bool wanted = names.empty() || std::any_of(names.begin(), names.end(), [&](auto& n) {
                                return Util::CompareNoCase(n, member) == 0;
                            });
        if (wanted) {
            chosen.push_back(index);
        }
    }
    for (const std::string& name : names) {
        const bool found = std::any_of(chosen.begin(), chosen.end(), [&](std::uint32_t index) {
            return Util::CompareNoCase(name, MemberName(archive, index)) == 0;
        });
        if (!found) {
            throw Util::XFileOpen(archive.GetPath().GetFullName() + Util::kPathSeparator + name,
                                  "File not found");
        }
    }
    return chosen;
}

// dat build's account of the directory's files: those packed and those left out with the reason.
std::vector<FileOutcome> BuildOutcomes(const Trova::ArchiveSelection& selection,
                                       const std::string& archive) {
    const std::string directory = Util::PathName(archive).GetParentDirectory();
    std::vector<FileOutcome> outcomes;
    for (const std::string& name : selection.included) {
        outcomes.push_back({directory + name,
                            {directory + name},
                            {archive + Util::kPathSeparator + name},
                            {},
                            {},
                            {}});
    }
    for (const auto& [name, reason] : selection.excluded) {
        outcomes.push_back({directory + name, {}, {}, {}, reason, {}});
    }
    return outcomes;
}

std::vector<std::string> KeptNotes(const std::vector<std::string>& kept) {
    std::vector<std::string> notes;
    for (const std::string& name : kept) {
        notes.push_back("Kept from the old archive: " + name);
    }
    return notes;
}

std::string OutputDirectory(const Arguments& arguments) {
    std::string directory = arguments.Value("output").value_or(".");
    if (directory.back() != Util::kPathSeparator) {
        directory += Util::kPathSeparator;
    }
    return directory;
}

} // namespace

int RunDatList(const Arguments& arguments) {
    const auto archive = OpenArchive(arguments.Operands()[0]);
    std::vector<std::uint32_t> order(archive->GetSubfileCount());
    std::iota(order.begin(), order.end(), 0u);
    SortMembers(*archive, arguments.Choice("sort", {"name", "size", "offset"}), order);
    if (arguments.Has("json")) {
        Report members = Report::Array();
        for (const std::uint32_t index : order) {
            members.Append(MemberReport(*archive, index));
        }
        members.WriteJson(std::cout);
        std::cout << '\n';
        return 0;
    }
    std::uint64_t total = 0;
    std::cout << "Name\tSize\tOffset\tKind\n";
    for (const std::uint32_t index : order) {
        std::cout << MemberName(*archive, index) << '\t' << archive->GetSubfileSize(index) << '\t'
                  << archive->GetSubfileOffset(index) << '\t' << MemberKind(*archive, index)
                  << '\n';
        total += archive->GetSubfileSize(index);
    }
    std::cout << order.size() << " members, " << total << " bytes\n";
    return 0;
}

int RunDatExtract(const Arguments& arguments) {
    const auto& operands = arguments.Operands();
    const std::string directory = OutputDirectory(arguments);
    std::vector<FileOutcome> outcomes;
    if (!arguments.Has("recursive")) {
        const auto archive = OpenArchive(operands[0]);
        const std::vector<std::string> names(operands.begin() + 1, operands.end());
        ExtractAll(arguments, *archive, ChooseMembers(*archive, names), directory, outcomes);
    } else {
        for (const BatchFile& found : FindArchives(operands)) {
            const auto archive = OpenArchive(found.path);
            const std::string below = directory + found.relative + Util::kPathSeparator;
            ExtractAll(arguments, *archive, ChooseMembers(*archive, {}), below, outcomes);
        }
    }
    return ReportOutcomes(arguments, outcomes, {});
}

int RunDatBuild(const Arguments& arguments) {
    const std::string directory = Platform::ResolveCase(arguments.Operands()[0]);
    if (!Platform::IsDirectory(directory)) {
        throw Util::XFileOpen(arguments.Operands()[0], "Directory not found");
    }
    const auto factory = Trova::GetFactoryRegistry().GetFactory(directory, false);
    if (!factory || !factory->HasFacet<Trova::CreateDat>()) {
        throw Util::XUsage("Cannot create an archive in " + directory);
    }
    const std::string path = factory->GetFacet<Trova::GetDirectory>()->directory.GetArchivePath();
    const bool dryRun = arguments.Has("dry-run");
    std::vector<std::string> kept;
    if (Platform::IsFile(path) && arguments.Has("overwrite")) {
        kept = RebuildArchive(path, arguments.Has("keep-members"), dryRun);
    } else if (Platform::IsFile(path) && dryRun) {
        throw Util::XFileOpen(path, "File exists");
    } else if (!dryRun) {
        const auto archive = factory->GetFacet<Trova::CreateDat>()->Create();
        archive->AddFiles(false);
        archive->Save();
    }
    const Trova::ArchiveSelection selection =
        Trova::SelectArchiveFiles(Util::PathName(path).GetParentDirectory());
    if (arguments.Has("json")) {
        return ReportOutcomes(arguments, BuildOutcomes(selection, path), KeptNotes(kept));
    }
    if (arguments.Has("report") || dryRun) {
        Trova::PrintArchiveReport(std::cout, selection);
        std::cout << "\nKept members\n\n";
        for (const std::string& name : kept) {
            std::cout << name << '\n';
        }
    }
    if (!dryRun) {
        WrittenFiles{arguments}(path);
    }
    return 0;
}

} // namespace Ostrel::Vellix::Cli
