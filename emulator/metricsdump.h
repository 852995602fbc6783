#pragma once

#include <QObject>
#include <QString>

class QWebEnginePage;
class QWidget;

// For scripted checks: once the first page has loaded, writes what the page measures and
// the window title as JSON and ends the program, with 0 only when the file was written.
class MetricsDump : public QObject
{
    Q_OBJECT

public:
    // Measures `measured`, takes the title of `titled` and writes to `target`.
    MetricsDump(QWebEnginePage *measured, QWidget *titled, const QString &target);

private:
    void Measure(bool loaded);
    void Write(const QVariant &measured, bool loaded);

    QWebEnginePage *page;
    QWidget *window;
    QString path;
    bool started = false;
};
