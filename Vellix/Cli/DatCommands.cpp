// dat list, dat extract and dat build: the archive operations, through the archive's factory.

#include "Trova/DatFile.h"
#include "Trova/FileFactory.h"
#include "Trova/FileFactoryRegistry.h"
#include "Util/BinaryFile.h"
#include "Util/Platform.h"
#include "Util/Text.h"
#include "Vellix/Cli/Commands.h"
#include "Vellix/Cli/Report.h"

#include <algorithm>
#include <iostream>

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

// Member names come from the archive and are not to be trusted as paths: a name that would
// leave the output directory, or is no file name at all, is refused.
void CheckMemberName(const std::string& name) {
    const bool unusable = name.empty() || name == "." || name == ".." ||
                          name.find_first_of("/\\:") != std::string::npos;
    if (unusable) {
        throw Util::XUsage("Member name \"" + name + "\" is not a usable file name");
    }
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

void Extract(Trova::DatFile& archive, std::uint32_t index, const std::string& directory,
             bool overwrite, const WrittenFiles& written) {
    const std::string name =
        archive.GetSubfileName(index) + (archive.GetSubfileExtension(index).empty()
                                             ? ""
                                             : "." + archive.GetSubfileExtension(index));
    CheckMemberName(name);
    const std::vector<std::uint8_t> data = ReadMember(*archive.OpenSubfile(index));
    const std::string path = directory + name;
    const auto file = Util::Create(path, overwrite);
    if (!data.empty()) {
        file->Write(static_cast<std::uint32_t>(data.size()), data.data());
    }
    written(path);
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

std::string OutputDirectory(const Arguments& arguments) {
    std::string directory = arguments.Value("output").value_or(".");
    if (!Platform::IsDirectory(directory) && !Platform::CreateDirectory(directory)) {
        throw Util::XFileOpen(directory, Platform::LastErrorText());
    }
    if (directory.back() != Util::kPathSeparator) {
        directory += Util::kPathSeparator;
    }
    return directory;
}

} // namespace

int RunDatList(const Arguments& arguments) {
    const auto archive = OpenArchive(arguments.Operands()[0]);
    const bool json = arguments.Has("json");
    Report members = Report::Array();
    for (std::uint32_t index = 0; index < archive->GetSubfileCount(); ++index) {
        const std::string name = MemberName(*archive, index);
        const std::uint32_t size = archive->GetSubfileSize(index);
        if (!json) {
            std::cout << name << '\t' << size << '\n';
            continue;
        }
        members.Append(
            Report::Object()
                .Add("name", Report::Text(name))
                .Add("size", Report::Integer(size))
                .Add("storedSize", Report::Integer(archive->GetSubfileStoredSize(index))));
    }
    if (json) {
        members.WriteJson(std::cout);
        std::cout << '\n';
    }
    return 0;
}

int RunDatExtract(const Arguments& arguments) {
    const auto& operands = arguments.Operands();
    const auto archive = OpenArchive(operands[0]);
    const std::vector<std::string> names(operands.begin() + 1, operands.end());
    const std::vector<std::uint32_t> chosen = ChooseMembers(*archive, names);
    const std::string directory = OutputDirectory(arguments);
    const WrittenFiles written(arguments);
    for (const std::uint32_t index : chosen) {
        Extract(*archive, index, directory, arguments.Has("overwrite"), written);
    }
    return 0;
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
    const auto archive = factory->GetFacet<Trova::CreateDat>()->Create();
    archive->AddFiles(arguments.Has("report"));
    std::cout.flush(); // the report goes to the process's standard output stream as well
    archive->Save();
    WrittenFiles{arguments}(archive->GetPath().GetFullName());
    return 0;
}

} // namespace Ostrel::Vellix::Cli
