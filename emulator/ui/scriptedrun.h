#pragma once

#include "core/emulatorrequest.h"

#include <QJsonObject>
#include <QObject>
#include <QTimer>

class EmulatorWindow;

// For scripts: once the first page has loaded, writes the metrics file and the screenshot
// that were asked for and ends the program, with 0 only when everything was written from a
// loaded page. The page's dialogs are answered as their OK button would. A page that never
// finishes loading ends it after a deadline, with whatever could be written.
class ScriptedRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int DeadlineMs = 20000;

    ScriptedRun(EmulatorWindow *window, const EmulatorRequest &request);

    // The program's exit status once the window has closed.
    int exitCode() const { return code; }

private:
    void OnPageReady(bool active);
    void OnLoadFinished(bool ok);
    void OnDeadline();
    void Measure();
    void WriteMetrics(const QJsonObject &measured);
    void TakeScreenshot();
    void Fail(const QString &message);
    void Finish();

    EmulatorWindow *window;
    QString metricsPath;
    QString screenshotPath;
    QTimer deadline;
    QTimer grace;
    bool loaded = false;
    bool measuring = false;
    bool failed = false;
    bool finished = false;
    int code = 1;
};
