#include "Vellix/Gui/QtSettingsStore.h"

namespace Ostrel::Vellix::Gui {

namespace {

QString KeyOf(const std::string& section, const std::string& key) {
    return QString::fromStdString(section + "/" + key);
}

} // namespace

QtSettingsStore::QtSettingsStore() : settings_("Ostrel", "Vellix") {}

QtSettingsStore::QtSettingsStore(const QString& iniFile)
    : settings_(iniFile, QSettings::IniFormat) {}

std::int32_t QtSettingsStore::GetInt(const std::string& section, const std::string& key,
                                     std::int32_t defaultValue) const {
    bool isNumber = false;
    const int value = settings_.value(KeyOf(section, key)).toInt(&isNumber);
    // A value edited into something that is no number counts as absent.
    return isNumber ? value : defaultValue;
}

void QtSettingsStore::WriteInt(const std::string& section, const std::string& key,
                               std::int32_t value) {
    settings_.setValue(KeyOf(section, key), value);
}

std::string QtSettingsStore::GetString(const std::string& section, const std::string& key,
                                       const std::string& defaultValue) const {
    const QVariant value = settings_.value(KeyOf(section, key));
    return value.isValid() ? value.toString().toStdString() : defaultValue;
}

void QtSettingsStore::WriteString(const std::string& section, const std::string& key,
                                  const std::string& value) {
    settings_.setValue(KeyOf(section, key), QString::fromStdString(value));
}

} // namespace Ostrel::Vellix::Gui
