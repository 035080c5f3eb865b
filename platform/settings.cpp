#include "settings.h"

#include <QSettings>

#include <memory>

namespace Settings {
namespace {

QString& overrideFile()
{
    static QString path;
    return path;
}

std::unique_ptr<QSettings> open(const QString& appName)
{
    if (!overrideFile().isEmpty())
        return std::make_unique<QSettings>(overrideFile(), QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, appName, appName);
}

QString groupKey(const QString& section, const QString& key)
{
    return section + u'/' + key;
}

} // namespace

QString GetSetting(const QString& appName, const QString& section, const QString& key,
                   const QString& defaultValue)
{
    return open(appName)->value(groupKey(section, key), defaultValue).toString();
}

void SaveSetting(const QString& appName, const QString& section, const QString& key, const QString& value)
{
    auto settings = open(appName);
    settings->setValue(groupKey(section, key), value);
    settings->sync();
}

void UseFile(const QString& iniPath)
{
    overrideFile() = iniPath;
}

} // namespace Settings
