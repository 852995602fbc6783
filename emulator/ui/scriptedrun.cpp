#include "ui/scriptedrun.h"

#include "core/screenshotfile.h"
#include "engine/browserpage.h"
#include "engine/metricsdump.h"
#include "ui/emulatorwindow.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSaveFile>

namespace {
// How long a page that never loaded is given to answer before the file is written without.
constexpr int GraceMs = 3000;
} // namespace

ScriptedRun::ScriptedRun(EmulatorWindow *emulatorWindow, const EmulatorRequest &request)
    : QObject(emulatorWindow), window(emulatorWindow), metricsPath(request.dumpMetricsPath),
      screenshotPath(request.screenshotPath)
{
    window->page()->SetAnswerDialogs(true);
    connect(window, &EmulatorWindow::pageReady, this, &ScriptedRun::OnPageReady);
    connect(window->page(), &BrowserPage::loadFinished, this, &ScriptedRun::OnLoadFinished,
            Qt::SingleShotConnection);
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, &ScriptedRun::OnDeadline);
    deadline.start(DeadlineMs);
    grace.setSingleShot(true);
    connect(&grace, &QTimer::timeout, this, [this] {
        if (metricsPath.isEmpty())
            Finish();
        else
            WriteMetrics({});
    });
}

void ScriptedRun::OnPageReady(bool active)
{
    if (active)
        return;
    Fail(QStringLiteral("the page cannot be shown: %1").arg(window->failure()));
    WriteMetrics({});
}

void ScriptedRun::OnLoadFinished(bool ok)
{
    loaded = ok;
    if (!ok)
        Fail(QStringLiteral("the page did not load"));
    Measure();
}

void ScriptedRun::OnDeadline()
{
    Fail(
        QStringLiteral("the page did not finish loading within %1 seconds").arg(DeadlineMs / 1000));
    grace.start(GraceMs);
    if (!measuring)
        Measure();
}

void ScriptedRun::Measure()
{
    measuring = true;
    if (metricsPath.isEmpty()) {
        TakeScreenshot();
        return;
    }
    const QPointer<ScriptedRun> self(this);
    MeasurePage(window->page(), [self](const QJsonObject &measured) {
        if (self)
            self->WriteMetrics(measured);
    });
}

void ScriptedRun::WriteMetrics(const QJsonObject &measured)
{
    if (metricsPath.isEmpty()) {
        if (!measuring)
            Finish(); // nothing else will come
        return;       // already written
    }
    const BrowserPage *page = window->page();
    QJsonObject metrics = measured;
    metrics.insert(QStringLiteral("title"), window->windowTitle());
    metrics.insert(QStringLiteral("displayZoom"), window->displayZoom());
    metrics.insert(QStringLiteral("emulation"),
                   page->isActive() ? QStringLiteral("protocol") : QStringLiteral("none"));
    metrics.insert(QStringLiteral("engine"), page->engineName());
    metrics.insert(QStringLiteral("engineVersion"), page->engineVersion());
    metrics.insert(QStringLiteral("loaded"), loaded);
    // What the window asks of the page, as the options spell it; the page's own view of it
    // is in the keys above.
    const PageConditions &conditions = window->pageConditions();
    metrics.insert(
        QStringLiteral("emulated"),
        QJsonObject{{QStringLiteral("colorScheme"), ColorSchemeName(conditions.colorScheme)},
                    {QStringLiteral("reducedMotion"), conditions.reducedMotion},
                    {QStringLiteral("network"), NetworkConditionName(conditions.network)},
                    {QStringLiteral("cpuSlowdown"), conditions.cpuSlowdown},
                    {QStringLiteral("geolocation"), GeolocationText(conditions)},
                    {QStringLiteral("safeArea"), SafeAreaText(window->safeArea())}});
    QSaveFile file(metricsPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(metrics).toJson()) < 0 ||
        !file.commit())
        Fail(QStringLiteral("cannot write the metrics to %1: %2")
                 .arg(metricsPath, file.errorString()));
    metricsPath.clear();
    TakeScreenshot();
}

void ScriptedRun::TakeScreenshot()
{
    if (screenshotPath.isEmpty() || !loaded) {
        if (!screenshotPath.isEmpty())
            Fail(QStringLiteral("no screenshot taken"));
        Finish();
        return;
    }
    const QPointer<ScriptedRun> self(this);
    window->page()->Capture(false, [self](const QByteArray &png, const QString &problem) {
        if (!self)
            return;
        const QString failure =
            problem.isEmpty() ? WriteScreenshot(self->screenshotPath, png) : problem;
        if (!failure.isEmpty())
            self->Fail(QStringLiteral("no screenshot: %1").arg(failure));
        self->Finish();
    });
}

void ScriptedRun::Fail(const QString &message)
{
    if (failed)
        return; // the first reason is the one worth a line
    failed = true;
    Complain(message);
}

// The window closes the engine cleanly before the program ends.
void ScriptedRun::Finish()
{
    if (finished)
        return;
    finished = true;
    deadline.stop();
    grace.stop();
    code = failed || !loaded ? 1 : 0;
    window->close();
}
