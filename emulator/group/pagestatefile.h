#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

class EmulatorWindow;

// For scripts and tests (-state-file): keeps a small JSON file up to date with what the
// window shows: the address, the title, how far the page is scrolled (0 to 1), how many
// loads finished, and where the window and the page are on the screen. Written only to the
// path given, replaced whole.
class PageStateFile : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 100;

    PageStateFile(EmulatorWindow *window, const QString &path);

private:
    void Update(double fraction, const QString &title);

    EmulatorWindow *window;
    QString path;
    QTimer timer;
    QByteArray written;
    int loads = 0;
    // One question to the page at a time: a busy page is not asked again and again.
    bool asking = false;
};
