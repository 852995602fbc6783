#include "pageinputfilter.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QWebEngineView>
#include <QWindow>
#include <QtGui/qtestsupport_gui.h>

// Qt's own way to feed a touch screen's events in through the window system, so that they
// take the same path as real ones: Qt picks the widget and keeps the touch point's state.
class Finger : public QTest::QTouchEventSequence
{
public:
    explicit Finger(QPointingDevice *screen) : QTouchEventSequence(nullptr, screen, false) {}
    void setWindow(QWindow *window) { targetWindow = window; }
};

namespace {

// One touch screen for the whole program; the window system keeps it registered.
QPointingDevice *EmulatedTouchScreen()
{
    static QPointingDevice *const device = QTest::createTouchDevice();
    return device;
}

bool IsPointerEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

} // namespace

PageInputFilter::PageInputFilter(QWebEngineView *pageView, InputMethod emulated)
    : QObject(pageView), input(emulated), view(pageView)
{
    if (input == InputMethod::Mouse)
        return;
    if (input == InputMethod::Touch)
        finger = std::make_unique<Finger>(EmulatedTouchScreen());
    view->installEventFilter(this);
    for (QObject *child : view->children())
        Watch(child);
}

PageInputFilter::~PageInputFilter() = default;

void PageInputFilter::Watch(QObject *child)
{
    auto *widget = qobject_cast<QWidget *>(child);
    if (!widget)
        return;
    widget->removeEventFilter(this);
    widget->installEventFilter(this);
    if (input == InputMethod::Keys)
        widget->setCursor(Qt::BlankCursor);
}

bool PageInputFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view) {
        if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished)
            Watch(static_cast<QChildEvent *>(event)->child());
        return false;
    }
    auto *target = qobject_cast<QWidget *>(watched);
    if (!target)
        return false;
    return input == InputMethod::Touch ? FilterForTouch(target, event)
                                       : FilterForKeys(target, event);
}

bool PageInputFilter::FilterForTouch(QWidget *target, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        // Events the system made up from real touches already reached the page as touches.
        if (mouse->source() != Qt::MouseEventNotSynthesized)
            return false;
        SendTouch(target, mouse);
        return true;
    }
    case QEvent::MouseButtonDblClick:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

bool PageInputFilter::FilterForKeys(QWidget *target, QEvent *event)
{
    // The engine sets the cursor the page asks for; keep it hidden.
    if (event->type() == QEvent::CursorChange && target->cursor().shape() != Qt::BlankCursor) {
        target->setCursor(Qt::BlankCursor);
        return false;
    }
    return IsPointerEvent(event->type());
}

void PageInputFilter::SendTouch(QWidget *target, const QMouseEvent *mouse)
{
    QWindow *window = target->window()->windowHandle();
    if (!window)
        return;
    const QPoint position = window->mapFromGlobal(mouse->globalPosition()).toPoint();
    if (mouse->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton &&
        !fingerDown) {
        finger->press(0, position, window);
        fingerDown = true;
    } else if (mouse->type() == QEvent::MouseMove && fingerDown) {
        finger->move(0, position, window);
    } else if (mouse->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton &&
               fingerDown) {
        finger->release(0, position, window);
        fingerDown = false;
    } else {
        return; // hovering and other buttons have no touch counterpart
    }
    finger->setWindow(window);
    finger->commit(false);
}
