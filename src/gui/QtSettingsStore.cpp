#include "gui/QtSettingsStore.h"

#include <QSettings>

namespace {

QSettings UserSettings() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Quillon", "Quillon"); }
QString Key(std::string_view key) { return QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size())); }

}  // namespace

bool QtSettingsStore::ReadBool(std::string_view key, bool fallback) const {
  return UserSettings().value(Key(key), fallback).toBool();
}

void QtSettingsStore::WriteBool(std::string_view key, bool value) const { UserSettings().setValue(Key(key), value); }

std::string QtSettingsStore::ReadText(std::string_view key) const {
  return UserSettings().value(Key(key)).toString().toStdString();
}

void QtSettingsStore::WriteText(std::string_view key, std::string_view value) const {
  UserSettings().setValue(Key(key), QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
}
