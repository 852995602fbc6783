#include "shotsplan.h"

#include <QLocale>
#include <QSet>

namespace {

constexpr qsizetype MaximumStemLength = 60;

QString SafeStem(const QString &name)
{
    QString stem;
    bool separate = false;
    for (const QChar ch : name) {
        if (ch.isLetterOrNumber() || ch.isMark()) {
            if (separate && !stem.isEmpty())
                stem += QLatin1Char('-');
            stem += ch;
            separate = false;
        } else {
            separate = true;
        }
        if (stem.size() >= MaximumStemLength)
            break;
    }
    if (stem.isEmpty())
        stem = QStringLiteral("profile");
    static const QSet<QString> reserved = [] {
        QSet<QString> names{QStringLiteral("con"), QStringLiteral("prn"), QStringLiteral("aux"),
                            QStringLiteral("nul")};
        for (int n = 0; n <= 9; ++n) {
            names.insert(QStringLiteral("com%1").arg(n));
            names.insert(QStringLiteral("lpt%1").arg(n));
        }
        return names;
    }();
    if (reserved.contains(stem.toLower()))
        stem += QLatin1String("-profile");
    return stem;
}

// HTML allows no control characters in text.
QString Escaped(const QString &text)
{
    QString escaped = text.toHtmlEscaped();
    for (QChar &ch : escaped) {
        if (ch.category() == QChar::Other_Control && ch != u'\t' && ch != u'\n')
            ch = QChar::ReplacementCharacter;
    }
    return escaped;
}

QString Seconds(qint64 ms)
{
    return QLocale::c().toString(double(ms) / 1000, 'f', 1) + QLatin1String(" s");
}

QString Caption(const ShotResult &result)
{
    QString caption = QLatin1String("<figcaption><b>") + Escaped(result.profileName) +
                      QLatin1String("</b><br>") + QString::number(result.pixels.width()) +
                      QLatin1String(" &times; ") + QString::number(result.pixels.height()) +
                      QLatin1String(" px, ") + QString::number(result.ppi) +
                      QLatin1String(" ppi (") + QLocale::c().toString(result.ppi / 160.0, 'g', 4) +
                      QLatin1String("&times;)");
    if (result.pictureSize.isValid() && result.pictureSize != result.pixels)
        caption += QLatin1String("<br>picture ") + QString::number(result.pictureSize.width()) +
                   QLatin1String(" &times; ") + QString::number(result.pictureSize.height());
    if (result.elapsedMs >= 0)
        caption += QLatin1String("<br>") + Seconds(result.elapsedMs);
    if (!result.failure.isEmpty())
        caption += QLatin1String("<br><span class=\"failed\">Failed: ") + Escaped(result.failure) +
                   QLatin1String("</span>");
    return caption + QLatin1String("</figcaption>");
}

} // namespace

ProfileChoice ChooseProfiles(const QList<LaunchProfile> &profiles, const QStringList &names)
{
    ProfileChoice choice;
    if (names.isEmpty()) {
        choice.chosen = profiles;
        return choice;
    }
    for (const QString &name : names) {
        const int index = FindProfile(profiles, name);
        if (index < 0)
            choice.unknown.append(name);
        else
            choice.chosen.append(profiles.at(index));
    }
    return choice;
}

QStringList ScreenshotFileNames(const QStringList &profileNames)
{
    QStringList fileNames;
    QSet<QString> taken;
    for (const QString &name : profileNames) {
        const QString stem = SafeStem(name);
        QString candidate = stem;
        for (int n = 2; taken.contains(candidate.toLower()); ++n)
            candidate = stem + u'-' + QString::number(n);
        taken.insert(candidate.toLower());
        fileNames.append(candidate + QLatin1String(".png"));
    }
    return fileNames;
}

QString ContactSheet(const QString &address, const QList<ShotResult> &results)
{
    QString html =
        QLatin1String("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<title>Velmora screenshots of ");
    html += Escaped(address);
    html += QLatin1String(
        "</title>\n<style>\n"
        "body { font-family: sans-serif; margin: 1em; }\n"
        "main { display: flex; flex-wrap: wrap; align-items: flex-start; gap: 1.5em; }\n"
        "figure { margin: 0; width: 240px; }\n"
        "img { width: 240px; height: auto; border: 1px solid #888; }\n"
        ".failed { color: #b00; }\n"
        "</style>\n</head>\n<body>\n<h1>Screenshots of <a href=\"");
    html += Escaped(address) + QLatin1String("\">") + Escaped(address);
    html += QLatin1String("</a></h1>\n<main>\n");
    for (const ShotResult &result : results) {
        html += QLatin1String("<figure>");
        if (result.failure.isEmpty())
            html += QLatin1String("<a href=\"") + Escaped(result.fileName) +
                    QLatin1String("\"><img src=\"") + Escaped(result.fileName) +
                    QLatin1String("\" alt=\"") + Escaped(result.profileName) +
                    QLatin1String("\"></a>");
        html += Caption(result) + QLatin1String("</figure>\n");
    }
    html += QLatin1String("</main>\n</body>\n</html>\n");
    return html;
}
