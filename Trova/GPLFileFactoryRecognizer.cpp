#include "Trova/GPLFileFactoryRecognizer.h"

#include "Trova/GPLFacets.h"
#include "Trova/ICR2DatFile.h"
#include "Util/BinaryFile.h"
#include "Util/Platform.h"
#include "Util/Text.h"

#include <optional>

namespace Ostrel::Trova {

namespace {

constexpr std::uint32_t kTdoSignature = 0x33444F34;   // "4OD3"
constexpr std::uint32_t kTrackSignature = 0x5452414B; // "KART"
constexpr std::uint32_t kTrackVersion = 3000;
constexpr std::uint32_t kReplaySignature = 0x52504C59; // "YLPR"
constexpr std::uint32_t kReplayVersionLimit = 3;
constexpr std::uint32_t kLayoutMarker = 6;
constexpr std::uint32_t kLayoutVersion = 0x329;

std::uint32_t ReadWord(Util::BinaryStream& stream) {
    std::uint8_t bytes[4];
    stream.Read(4, bytes);
    return Util::ReadU32(bytes);
}

bool HasExtension(const std::string& name, const std::string& extension) {
    return Util::CompareNoCase(Util::PathName(name).GetExtension(), extension) == 0;
}

// The verdict of one member of an archive: nothing when its kind says nothing.
std::optional<bool> JudgeMember(DatFile& archive, std::uint32_t index) {
    const std::string extension = archive.GetSubfileExtension(index);
    if (Util::CompareNoCase(extension, "3do") == 0) {
        return ReadWord(*archive.OpenSubfile(index)) == kTdoSignature;
    }
    if (Util::CompareNoCase(extension, "lyt") == 0) {
        const auto stream = archive.OpenSubfile(index);
        return ReadWord(*stream) == kLayoutMarker && ReadWord(*stream) == kLayoutVersion;
    }
    return std::nullopt;
}

// The verdict of one loose file of a directory: nothing when its kind says nothing.
std::optional<bool> JudgeFile(const std::string& path) {
    const auto file = Util::OpenForRead(path);
    if (HasExtension(path, "3do")) {
        return ReadWord(*file) == kTdoSignature;
    }
    if (HasExtension(path, "trk")) {
        return ReadWord(*file) == kTrackSignature && ReadWord(*file) == kTrackVersion;
    }
    if (HasExtension(path, "rpy")) {
        return ReadWord(*file) == kReplaySignature && ReadWord(*file) < kReplayVersionLimit;
    }
    return std::nullopt;
}

Util::CountedPtr<DatFile> OpenArchive(const std::string& path, bool update) {
    return Util::CountedPtr<DatFile>(new ICR2DatFile(path, update));
}

} // namespace

GPLFileFactoryRecognizer::GPLFileFactoryRecognizer(bool isDefault) : isDefault_(isDefault) {
    GetFactoryRegistry().Register(this);
}

GPLFileFactoryRecognizer::~GPLFileFactoryRecognizer() {
    GetFactoryRegistry().Unregister(this);
}

Util::CountedPtr<FileFactory>
GPLFileFactoryRecognizer::CreateFactory(const TrovaDirectory& directory, bool update) {
    const std::string archivePath = directory.GetArchivePath();
    Util::CountedPtr<DatFile> archive;
    if (!archivePath.empty() && Util::FileExists(archivePath)) {
        archive = OpenArchive(archivePath, update);
    }
    return BuildGPLFactory(directory, archive);
}

Util::CountedPtr<FileFactory> GPLFileFactoryRecognizer::CreateDatFactory(const std::string& path,
                                                                         bool update) {
    return BuildGPLFactory(TrovaDirectory(path), OpenArchive(path, update));
}

bool GPLFileFactoryRecognizer::IsDat(const std::string& path) {
    try {
        if (!Util::FileExists(path)) {
            return false;
        }
        std::uint8_t bytes[4];
        Util::OpenForRead(path)->Read(4, bytes);
        return static_cast<std::int16_t>(Util::ReadU16(bytes)) > 0 && Util::ReadU16(bytes + 2) == 5;
    } catch (const Util::Exception&) {
        return false;
    }
}

bool GPLFileFactoryRecognizer::IsOwnDat(const std::string& path) {
    if (!IsDat(path)) {
        return false;
    }
    try {
        ICR2DatFile archive(path, false);
        for (std::uint32_t index = 0; index < archive.GetSubfileCount(); ++index) {
            try {
                if (const auto verdict = JudgeMember(archive, index)) {
                    return *verdict;
                }
            } catch (const Util::RuntimeError&) {
                // An unreadable member says nothing; the next one may.
            }
        }
    } catch (const Util::Exception&) {
    }
    return false;
}

bool GPLFileFactoryRecognizer::IsOwnDirectory(const TrovaDirectory& directory) {
    if (!directory.IsRoot() && IsOwnDat(directory.GetArchivePath())) {
        return true;
    }
    // The matches of each pattern in turn, so that a .3do file decides before any .trk file.
    for (const char* pattern : {"*.3do", "*.trk", "*.rpy"}) {
        for (const auto& entry :
             Util::Platform::ListDirectory(directory.GetDirectoryPath(), pattern)) {
            if (entry.isDirectory) {
                continue;
            }
            try {
                if (const auto verdict = JudgeFile(directory.GetDirectoryPath() + entry.name)) {
                    return *verdict;
                }
            } catch (const Util::Exception&) {
                // A file that vanished or cannot be read says nothing.
            }
        }
    }
    return false;
}

namespace {
// The one recognizer of the system, registered while the program starts.
GPLFileFactoryRecognizer gplRecognizer(true);
} // namespace

extern FileFactoryRecognizer* const builtInRecognizers[] = {&gplRecognizer};

} // namespace Ostrel::Trova
