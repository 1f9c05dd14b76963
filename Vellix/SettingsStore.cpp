#include "Vellix/SettingsStore.h"

namespace Ostrel::Vellix {

std::int32_t MemorySettingsStore::GetInt(const std::string& section, const std::string& key,
                                         std::int32_t defaultValue) const {
    const auto found = values_.find({section, key});
    return found == values_.end() ? defaultValue : found->second;
}

void MemorySettingsStore::WriteInt(const std::string& section, const std::string& key,
                                   std::int32_t value) {
    values_[{section, key}] = value;
    writes_.push_back({section, key, value});
}

std::string MemorySettingsStore::GetString(const std::string& section, const std::string& key,
                                           const std::string& defaultValue) const {
    const auto found = texts_.find({section, key});
    return found == texts_.end() ? defaultValue : found->second;
}

void MemorySettingsStore::WriteString(const std::string& section, const std::string& key,
                                      const std::string& value) {
    texts_[{section, key}] = value;
}

bool MemorySettingsStore::Contains(const std::string& section, const std::string& key) const {
    return values_.count({section, key}) != 0;
}

std::vector<std::string> MemorySettingsStore::GetWrittenKeys() const {
    std::vector<std::string> keys;
    keys.reserve(writes_.size());
    for (const Write& write : writes_) {
        keys.push_back(write.key);
    }
    return keys;
}

} // namespace Ostrel::Vellix
