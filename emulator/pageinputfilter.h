#pragma once

#include "emulatoroptions.h"

#include <QObject>
#include <QPointer>

#include <memory>

class Finger;
class QMouseEvent;
class QPointingDevice;
class QWebEngineView;

// Makes the pointer behave like the emulated input method on the page (never on the
// toolbar): touch turns the left mouse button into a finger, keys takes the pointer away.
// The engine renders into a child widget of the view that it may replace, so the filter
// follows the view's children.
class PageInputFilter : public QObject
{
    Q_OBJECT

public:
    PageInputFilter(QWebEngineView *pageView, InputMethod emulated);
    ~PageInputFilter() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Watch(QObject *child);
    bool FilterForTouch(QWidget *target, QEvent *event);
    bool FilterForKeys(QWidget *target, QEvent *event);
    void SendTouch(QWidget *target, const QMouseEvent *mouse);

    InputMethod input;
    QWebEngineView *view;
    std::unique_ptr<Finger> finger;
    bool fingerDown = false;
};
