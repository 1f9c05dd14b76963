#pragma once

// Decides which game family serves a path and caches one factory per game directory; a
// directory and its own archive share one entry.

#include "Trova/FileFactory.h"
#include "Trova/TrovaDirectory.h"
#include "Util/CountedPtr.h"

#include <map>
#include <string>
#include <vector>

namespace Ostrel::Trova {

class FileFactoryRecognizer {
public:
    virtual ~FileFactoryRecognizer() = default;
    virtual Util::CountedPtr<FileFactory> CreateFactory(const TrovaDirectory& directory,
                                                        bool update) = 0;
    virtual Util::CountedPtr<FileFactory> CreateDatFactory(const std::string& path,
                                                           bool update) = 0;
    // Each probe turns any failure into false.
    virtual bool IsDat(const std::string& path) = 0;
    virtual bool IsOwnDat(const std::string& path) = 0;
    virtual bool IsOwnDirectory(const TrovaDirectory& directory) = 0;
    virtual bool IsDefault() const = 0;
    virtual void SetDefault(bool isDefault) = 0;
};

class FileFactoryRegistry {
public:
    // The factory that serves path (a directory, a file, an archive or a file still to be
    // written); empty when no recognizer accepts an existing file. update asks for a factory
    // whose archive is open for modification.
    Util::CountedPtr<FileFactory> GetFactory(const std::string& path, bool update);
    Util::CountedPtr<FileFactory> GetFactory(const TrovaDirectory& directory, bool update);
    // A factory for path that the registry does not keep: its files and caches are its owner's
    // alone, so a worker thread may use it while other threads use the registry's.
    Util::CountedPtr<FileFactory> MakeFactory(const std::string& path, bool update) const;
    void Register(FileFactoryRecognizer* recognizer);
    void Unregister(FileFactoryRecognizer* recognizer);
    // Drops the factories nobody else holds and purges the file caches of the others.
    void Purge();

private:
    struct Entry {
        Util::CountedPtr<FileFactory> factory;
        bool update;
    };

    FileFactoryRecognizer* ChooseForDirectory(const TrovaDirectory& directory) const;
    FileFactoryRecognizer* ChooseForFile(const std::string& path) const;
    bool IsSoleOrDefault(const FileFactoryRecognizer* recognizer) const;

    std::map<std::string, Entry> cache_;
    std::vector<FileFactoryRecognizer*> recognizers_;
};

// The process-wide registry, made on first use.
FileFactoryRegistry& GetFactoryRegistry();

// The cache key of a path as it is on disk: a directory's own archive gives the directory's key.
std::string NormalizeKey(const std::string& path);

} // namespace Ostrel::Trova
