#include "core/windowtitle.h"

#include "core/profiledirectory.h"

QString EmulatorWindowTitle(const EmulatorRequest &request, const ProfileDirectory &directory)
{
    const QString product = QStringLiteral("Velmora Mobile Emulator");
    if (request.profileName.isEmpty())
        return product + QStringLiteral(" (private)");
    QString privacy;
    if (!directory.isClaimed()) {
        privacy = directory.isInUse() ? QStringLiteral(" (private: profile in use)")
                                      : QStringLiteral(" (private: profile unavailable)");
    }
    return request.profileName + privacy + QStringLiteral(" - ") + product;
}

QString ProfileDescription(const EmulatorRequest &request, const ProfileDirectory &directory)
{
    if (directory.isClaimed())
        return request.profileName + QStringLiteral(", data kept in ") + directory.path();
    if (request.profileName.isEmpty())
        return QStringLiteral("none; browsing data is private and not kept");
    return request.profileName + QStringLiteral(", private: ") + directory.problem();
}
