#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace Ostrel::Vellix {

// Every option and view setting lives in this one section.
inline constexpr char kSettingsSection[] = "Settings";

// The list view keeps these three for itself; they are read at its construction and written at
// its destruction.
inline constexpr char kSortOrderKey[] = "SortOrder";
inline constexpr std::int32_t kDefaultSortOrder = 61204; // the name column, ascending
inline constexpr char kViewStyleKey[] = "ViewStyle";
inline constexpr std::int32_t kDefaultViewStyle = 1; // details
inline constexpr char kIndividualIconsKey[] = "IndividualIcons";
inline constexpr std::int32_t kDefaultIndividualIcons = 1;

// The per-user store of remembered values: 32-bit integers by section and key. An absent key
// yields the caller's default.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::int32_t GetInt(const std::string& section, const std::string& key,
                                std::int32_t defaultValue) const = 0;
    virtual void WriteInt(const std::string& section, const std::string& key,
                          std::int32_t value) = 0;
    // Texts (the last folder, the window's layout) in the same store.
    virtual std::string GetString(const std::string& section, const std::string& key,
                                  const std::string& defaultValue) const = 0;
    virtual void WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;
};

// A store that lives only as long as the object; it remembers every write in order, so that
// callers can see what was written and when.
class MemorySettingsStore : public SettingsStore {
public:
    struct Write {
        std::string section;
        std::string key;
        std::int32_t value;
    };

    std::int32_t GetInt(const std::string& section, const std::string& key,
                        std::int32_t defaultValue) const override;
    void WriteInt(const std::string& section, const std::string& key, std::int32_t value) override;
    // Texts are kept apart and not among the writes.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) const override;
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;

    bool Contains(const std::string& section, const std::string& key) const;
    const std::vector<Write>& GetWrites() const { return writes_; }
    // The keys of all writes, in the order they were made.
    std::vector<std::string> GetWrittenKeys() const;
    void ForgetWrites() { writes_.clear(); }

private:
    std::map<std::pair<std::string, std::string>, std::int32_t> values_;
    std::map<std::pair<std::string, std::string>, std::string> texts_;
    std::vector<Write> writes_;
};

} // namespace Ostrel::Vellix
