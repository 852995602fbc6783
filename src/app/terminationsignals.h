#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGHUP and SIGINT as a Qt signal on the GUI thread. The handler only writes the
// signal's number to a socket pair, which is all that is safe inside a handler; the event
// loop reads it. Each signal is caught once (a second one acts as if never caught); a
// signal the process was started to ignore stays ignored. One instance at a time. POSIX
// only: all its calls are in terminationsignals_posix.cpp.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void OnReadable();

    QSocketNotifier *notifier = nullptr;
};
