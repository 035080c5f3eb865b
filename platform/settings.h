#pragma once

#include <QString>

// Per-user settings by application, section and key. Values are written
// through to disk at once, since ending the program does not wait for a flush.
namespace Settings {

QString GetSetting(const QString& appName, const QString& section, const QString& key,
                   const QString& defaultValue = {});
void SaveSetting(const QString& appName, const QString& section, const QString& key, const QString& value);

// Keeps the settings in the given ini file instead of the user's own store
// (tests; an empty path returns to the user's store).
void UseFile(const QString& iniPath);

} // namespace Settings
