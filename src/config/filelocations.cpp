#include "filelocations.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace {

QString BesideLauncher(const QString &fileName)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + fileName;
}

QString ExecutableSuffix()
{
#ifdef Q_OS_WIN
    return QStringLiteral(".exe");
#else
    return QString();
#endif
}

} // namespace

QString GetFilePath(FileKind kind)
{
    switch (kind) {
    case ConfigFile:
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
               QStringLiteral("/Velmora/VelmoraMobileEmulator/Launcher.ini");
    case DefaultConfigFile:
        return BesideLauncher(QStringLiteral("LauncherDefault.ini"));
    case HelpFile:
        return BesideLauncher(QStringLiteral("LauncherHelp.html"));
    case EmulatorExecutable:
        return BesideLauncher(QStringLiteral("VelmoraMobileEmu") + ExecutableSuffix());
    }
    return QString();
}
