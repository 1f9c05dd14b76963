#pragma once

// One entry of a directory on disk as a worker thread sees it: its names taken on the thread
// that owns the directory, and a file factory of the worker's own, so that the threads share no
// file objects or caches. Archives are not taken: their members share the archive's stream.

#include "Trova/FileFactory.h"
#include "Util/CountedPtr.h"
#include "Util/PathName.h"
#include "Vellix/FileSummary.h"
#include "Vellix/PseudoDirectory.h"
#include "Vellix/TexturePicture.h"

#include <cstdint>
#include <map>
#include <string>

namespace Ostrel::Vellix {

// The factories of one worker thread, by directory.
using WorkerFactories = std::map<std::string, Util::CountedPtr<Trova::FileFactory>>;

class WorkerDirectory final : public PseudoDirectory {
public:
    // On the thread that owns shared.
    WorkerDirectory(const PseudoDirectory& shared, std::uint32_t index);

    // On the worker thread that uses it, before any other call.
    void UseFactory(WorkerFactories& factories);
    // On the worker thread: the entry's summary, read through the worker's own factory, which
    // keeps no file afterwards.
    FileSummary Summarise(WorkerFactories& factories);
    // On the worker thread: the entry opened through the worker's own factory and its facts read.
    // This directory lets go of the factory, so that once factories is gone the texture is the
    // only owner of what it uses and may be handed to another thread.
    OpenedTexture Open(WorkerFactories& factories);

    std::uint32_t GetEntryCount() const override { return index_ + 1; }
    bool IsSubdirectory(std::uint32_t) const override { return false; }
    std::string GetEntryName(std::uint32_t index) const override { return Check(index, name_); }
    std::string GetEntryBaseName(std::uint32_t index) const override {
        return Check(index, baseName_);
    }
    std::string GetEntryExtension(std::uint32_t index) const override {
        return Check(index, extension_);
    }
    std::string GetEntryQualifiedName(std::uint32_t index) const override {
        return Check(index, qualifiedName_);
    }
    Util::CountedPtr<Trova::FileFactory> GetFileFactory() const override { return factory_; }
    Util::PathName GetPathName() const override { return path_; }
    bool IsArchive() const override { return false; }
    std::string GetArchiveSubdirectory() const override { return {}; }

private:
    const std::string& Check(std::uint32_t index, const std::string& value) const;

    std::uint32_t index_;
    std::string name_;
    std::string baseName_;
    std::string extension_;
    std::string qualifiedName_;
    Util::PathName path_;
    Util::CountedPtr<Trova::FileFactory> factory_;
};

} // namespace Ostrel::Vellix
