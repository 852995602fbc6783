#include "engine/metricsdump.h"

#include "engine/browserpage.h"

#include <QFile>

void MeasurePage(BrowserPage *page, const std::function<void(const QJsonObject &)> &done)
{
    QFile script(QStringLiteral(":/engine/js/metrics.js"));
    const QString source =
        script.open(QIODevice::ReadOnly) ? QString::fromUtf8(script.readAll()) : QString();
    page->Evaluate(
        source, [done](const QJsonValue &value, const QString &) { done(value.toObject()); },
        BrowserPage::World::Page);
}
