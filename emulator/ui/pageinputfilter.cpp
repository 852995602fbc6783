#include "pageinputfilter.h"

#include <QChildEvent>
#include <QContextMenuEvent>
#include <QWebEngineView>

namespace {

bool IsPointerEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}

} // namespace

PageInputFilter::PageInputFilter(QWebEngineView *pageView, InputMethod emulated,
                                 MenuRequest menuRequest)
    : QObject(pageView), view(pageView), showMenu(std::move(menuRequest))
{
    // Touch comes from the engine's own emulation, which also opens the page's menu.
    if (emulated != InputMethod::Keys)
        return;
    view->installEventFilter(this);
    for (QObject *child : view->children())
        Watch(child);
}

void PageInputFilter::Watch(QObject *child)
{
    auto *widget = qobject_cast<QWidget *>(child);
    if (!widget)
        return;
    widget->removeEventFilter(this);
    widget->installEventFilter(this);
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
    if (event->type() == QEvent::ContextMenu) {
        showMenu(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
    // The engine sets the cursor the page asks for; keep it hidden.
    if (event->type() == QEvent::CursorChange && target->cursor().shape() != Qt::BlankCursor) {
        target->setCursor(Qt::BlankCursor);
        return false;
    }
    return IsPointerEvent(event->type());
}
