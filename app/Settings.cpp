#include "app/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace framelot {

QString SettingsPathFor(const QString& programPath)
{
    const QFileInfo info(programPath);
    const QString name = info.fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 && !name.mid(dot).contains(QLatin1Char(' ')) ? name.left(dot) : name;
    return info.dir().filePath(stem + QStringLiteral(".ini"));
}

bool InSystemLocation(const QString& folder)
{
    // Where package managers and "make install" put programs; /usr covers
    // /usr/local. Links are resolved, so a link into these counts as inside.
    static constexpr const char* SystemRoots[] = {"/usr", "/bin", "/sbin", "/lib", "/opt", "/snap"};
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    const QString path = canonical.isEmpty() ? QFileInfo(folder).absoluteFilePath() : canonical;
    for (const char* root : SystemRoots) {
        const QString rootPath = QString::fromLatin1(root);
        if (path == rootPath || path.startsWith(rootPath + QLatin1Char('/'))) return true;
    }
    return false;
}

QString ChooseSettingsPath(const QString& programPath)
{
    const QString beside = SettingsPathFor(programPath);
    const QString folder = QFileInfo(beside).absolutePath();
    if (QFileInfo::exists(beside) || (QFileInfo(folder).isWritable() && !InSystemLocation(folder))) return beside;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("framelot/framelot.ini"));
}

bool ReadMakeFolder(const QString& settingsPath)
{
    QSettings settings(settingsPath, QSettings::IniFormat);
    const QString value = settings.value(QStringLiteral("SystemSetting/folder"), QStringLiteral("ON")).toString();
    return value.compare(QStringLiteral("ON"), Qt::CaseInsensitive) == 0;
}

bool WriteMakeFolder(const QString& settingsPath, bool makeFolder)
{
    if (!QDir().mkpath(QFileInfo(settingsPath).absolutePath())) return false;
    QSettings settings(settingsPath, QSettings::IniFormat);
    settings.setValue(QStringLiteral("SystemSetting/folder"), makeFolder ? QStringLiteral("ON") : QStringLiteral("OFF"));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace framelot
