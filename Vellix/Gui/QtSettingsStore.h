#pragma once

#include "Vellix/SettingsStore.h"

#include <QSettings>
#include <QString>

namespace Ostrel::Vellix::Gui {

// The per-user settings store: the registry key Software\Ostrel\Vellix on Windows, an INI file
// under the user's configuration directory elsewhere.
class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore();
    // A store in an INI file of its own (for tests and trials).
    explicit QtSettingsStore(const QString& iniFile);

    std::int32_t GetInt(const std::string& section, const std::string& key,
                        std::int32_t defaultValue) const override;
    void WriteInt(const std::string& section, const std::string& key, std::int32_t value) override;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) const override;
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;

private:
    mutable QSettings settings_;
};

} // namespace Ostrel::Vellix::Gui
