#pragma once

#include <QObject>

// What the follow script, in a world of its own beside the page's, may report: a scroll and
// a click on a link or button. Nothing else is reachable through the page's web channel.
class PageBridge : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    Q_INVOKABLE void scrolled(double fraction) { Q_EMIT scrolledTo(fraction); }
    Q_INVOKABLE void clicked(const QString &path) { Q_EMIT clickedOn(path); }

Q_SIGNALS:
    void scrolledTo(double fraction);
    void clickedOn(const QString &path);
};
