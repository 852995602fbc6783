#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>

#include <cstdio>

// Ends a timed start-up: once the first window has been exposed, and so painted, prints
// "shown" on standard output and quits the event loop. Installed on the application, it
// sees the expose event whichever window gets it.
class FirstShowReporter : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!reported && event->type() == QEvent::Expose) {
            const auto *window = qobject_cast<QWindow *>(watched);
            if (window && window->isExposed()) {
                reported = true;
                // After this event's own handling, which paints the window.
                QTimer::singleShot(0, qApp, [] {
                    std::fputs("shown\n", stdout);
                    std::fflush(stdout);
                    QCoreApplication::quit();
                });
            }
        }
        return false;
    }

private:
    bool reported = false;
};
