#include "core/windowtitle.h"

#include "core/profiledirectory.h"

namespace {

// Titles come from the page: one that is long or spread over lines must not push the
// profile's name and the product off a task bar.
QString ShortTitle(const QString &pageTitle)
{
    constexpr qsizetype MaxLength = 80;
    QString title = pageTitle.simplified();
    title.removeIf([](QChar c) {
        return c.category() == QChar::Other_Control || c.category() == QChar::Other_Format;
    });
    if (title.size() > MaxLength) {
        qsizetype cut = MaxLength - 1;
        if (title.at(cut - 1).isHighSurrogate())
            --cut;
        title = title.left(cut) + QChar(0x2026);
    }
    return title;
}

} // namespace

QString EmulatorWindowTitle(const EmulatorRequest &request, const ProfileDirectory &directory,
                            const QString &pageTitle)
{
    const QString product = QStringLiteral("Velmora Mobile Emulator");
    // The start page's title is the product's name, and says nothing twice.
    QString title = ShortTitle(pageTitle);
    if (title == product)
        title.clear();
    const QString page = title.isEmpty() ? title : QStringLiteral(" - ") + title;
    if (request.profileName.isEmpty())
        return (title.isEmpty() ? product : title + QStringLiteral(" - ") + product) +
               QStringLiteral(" (private)");
    QString privacy;
    if (!directory.isClaimed()) {
        privacy = directory.isInUse() ? QStringLiteral(" (private: profile in use)")
                                      : QStringLiteral(" (private: profile unavailable)");
    }
    return request.profileName + privacy + page + QStringLiteral(" - ") + product;
}

QString ProfileDescription(const EmulatorRequest &request, const ProfileDirectory &directory)
{
    if (directory.isClaimed())
        return request.profileName + QStringLiteral(", data kept in ") + directory.path();
    if (request.profileName.isEmpty())
        return QStringLiteral("none; browsing data is private and not kept");
    return request.profileName + QStringLiteral(", private: ") + directory.problem();
}
