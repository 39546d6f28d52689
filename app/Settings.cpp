#include "app/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace framelot {

QString SettingsPathFor(const QString& programPath)
{
    const QFileInfo info(programPath);
    const QString name = info.fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 && !name.mid(dot).contains(QLatin1Char(' ')) ? name.left(dot) : name;
    return info.dir().filePath(stem + QStringLiteral(".ini"));
}

bool ReadMakeFolder(const QString& settingsPath)
{
    QSettings settings(settingsPath, QSettings::IniFormat);
    const QString value = settings.value(QStringLiteral("SystemSetting/folder"), QStringLiteral("ON")).toString();
    return value.compare(QStringLiteral("ON"), Qt::CaseInsensitive) == 0;
}

void WriteMakeFolder(const QString& settingsPath, bool makeFolder)
{
    QSettings settings(settingsPath, QSettings::IniFormat);
    settings.setValue(QStringLiteral("SystemSetting/folder"), makeFolder ? QStringLiteral("ON") : QStringLiteral("OFF"));
    settings.sync();
}

}  // namespace framelot
