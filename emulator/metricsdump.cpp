#include "metricsdump.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QWebEnginePage>
#include <QWidget>

#include <cstdio>

namespace {

const QString MeasureScript = QStringLiteral(
    "JSON.stringify({innerWidth: window.innerWidth, innerHeight: window.innerHeight,"
    " devicePixelRatio: window.devicePixelRatio, userAgent: navigator.userAgent,"
    " maxTouchPoints: navigator.maxTouchPoints, touchEvents: 'ontouchstart' in window})");

void Complain(const QString &message)
{
    std::fprintf(stderr, "VelmoraMobileEmu: %s\n", qUtf8Printable(message));
}

} // namespace

MetricsDump::MetricsDump(QWebEnginePage *measured, QWidget *titled, const QString &target)
    : QObject(measured), page(measured), window(titled), path(target)
{
    connect(page, &QWebEnginePage::loadFinished, this, &MetricsDump::Measure);
}

void MetricsDump::Measure(bool loaded)
{
    if (started)
        return;
    started = true;
    page->runJavaScript(MeasureScript,
                        [this, loaded](const QVariant &measured) { Write(measured, loaded); });
}

void MetricsDump::Write(const QVariant &measured, bool loaded)
{
    QJsonObject metrics = QJsonDocument::fromJson(measured.toString().toUtf8()).object();
    metrics.insert(QStringLiteral("title"), window->windowTitle());
    metrics.insert(QStringLiteral("loaded"), loaded);
    if (!loaded)
        Complain(QStringLiteral("the page did not load; its metrics are written anyway"));

    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(QJsonDocument(metrics).toJson()) >= 0 && file.commit();
    if (!written)
        Complain(
            QStringLiteral("cannot write the metrics to %1: %2").arg(path, file.errorString()));
    QCoreApplication::exit(written ? 0 : 1);
}
