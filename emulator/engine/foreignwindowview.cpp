#include "engine/foreignwindowview.h"

#include <QGuiApplication>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

bool HasClass(xcb_connection_t *c, xcb_window_t w, const QByteArray &windowClass)
{
    Reply<xcb_get_property_reply_t> p(
        xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr),
        &std::free);
    if (!p)
        return false;
    const QByteArray value(static_cast<const char *>(xcb_get_property_value(p.get())),
                           xcb_get_property_value_length(p.get()));
    return value.split('\0').value(1) == windowClass;
}

bool IsViewable(xcb_connection_t *c, xcb_window_t w)
{
    Reply<xcb_get_window_attributes_reply_t> a(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr), &std::free);
    return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
}

xcb_window_t FindIn(xcb_connection_t *c, xcb_window_t w, const QByteArray &windowClass, int depth)
{
    if (HasClass(c, w, windowClass) && IsViewable(c, w))
        return w;
    if (depth == 0)
        return 0;
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr),
                                       &std::free);
    if (!tree)
        return 0;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        if (const xcb_window_t found = FindIn(c, children[i], windowClass, depth - 1))
            return found;
    return 0;
}

} // namespace

ForeignWindowView::ForeignWindowView(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

bool ForeignWindowView::Supported()
{
    return qGuiApp && qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
}

void ForeignWindowView::Embed(const QByteArray &windowClass, qint64, int timeoutMs)
{
    wanted = windowClass;
    attemptsLeft = timeoutMs / 20;
    Find();
}

void ForeignWindowView::Find()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *c = x11->connection();
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t found = FindIn(c, screen->root, wanted, 3);
    if (!found) {
        if (--attemptsLeft <= 0) {
            Q_EMIT failed(QStringLiteral("the browser's window did not appear"));
            return;
        }
        QTimer::singleShot(20, this, &ForeignWindowView::Find);
        return;
    }
    QWindow *foreign = QWindow::fromWinId(found);
    container = QWidget::createWindowContainer(foreign, this);
    container->setAttribute(Qt::WA_NativeWindow);
    layout()->addWidget(container);
    Q_EMIT embedded();
}

void ForeignWindowView::FocusPage() {}

void ForeignWindowView::GrabShortcuts(const QList<QKeySequence> &) {}

void ForeignWindowView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
}
