#include "sessionend.h"

#include <QApplication>
#include <QSessionManager>

#ifdef Q_OS_UNIX
#include "terminationsignals.h"
#endif

SessionEnd::SessionEnd(QObject *parent) : QObject(parent)
{
#ifndef QT_NO_SESSIONMANAGER
    connect(qApp, &QGuiApplication::commitDataRequest, this, &SessionEnd::CloseAllWindows);
#endif
#ifdef Q_OS_UNIX
    signalWatch = new TerminationSignals(this);
    connect(signalWatch, &TerminationSignals::received, this, [this] {
        Q_EMIT terminationRequested();
        CloseAllWindows();
    });
#endif
}

SessionEnd::~SessionEnd() = default;

void SessionEnd::CloseAllWindows()
{
    // Open dialogs first, so that the slot that runs one returns before the window closes.
    QApplication::closeAllWindows();
}
