#pragma once

#include <QObject>

class TerminationSignals;

// Ends the run the way closing the window does, so that what the window saves at its end is
// saved: when the desktop session ends, and on Unix when the process is asked to stop
// (SIGTERM at logout or shutdown, SIGHUP when its terminal closes, SIGINT). Each signal is
// caught once; the same signal again ends the process at once, as without this class.
// Losing the display cannot be caught: the process then ends without saving.
class SessionEnd : public QObject
{
    Q_OBJECT

public:
    explicit SessionEnd(QObject *parent = nullptr);
    ~SessionEnd() override;

Q_SIGNALS:
    // A termination signal arrived: the windows close next, with nobody to answer them.
    void terminationRequested();

private:
    void CloseAllWindows();

    TerminationSignals *signalWatch = nullptr;
};
