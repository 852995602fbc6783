#include "group/launcherwindow.h"

#include <QGuiApplication>
#include <QScreen>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace {

// The launcher's executable name, which Qt makes its window class.
constexpr char LauncherClass[] = "velmora-launcher";

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> Reply<T> Take(T *reply)
{
    return Reply<T>(reply, &std::free);
}

xcb_atom_t Atom(xcb_connection_t *c, const char *name)
{
    auto reply = Take(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

QByteArray Property(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property)
{
    if (property == XCB_ATOM_NONE)
        return {};
    auto reply = Take(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr));
    if (!reply || reply->format != (property == XCB_ATOM_WM_CLASS ? 8 : 32))
        return {};
    return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

QList<quint32> Cardinals(const QByteArray &value)
{
    QList<quint32> numbers(value.size() / 4);
    std::memcpy(numbers.data(), value.constData(), numbers.size() * 4);
    return numbers;
}

bool IsLauncher(xcb_connection_t *c, xcb_window_t window)
{
    const QList<QByteArray> names = Property(c, window, XCB_ATOM_WM_CLASS).split('\0');
    return names.value(0).compare(LauncherClass, Qt::CaseInsensitive) == 0 ||
           names.value(1).compare(LauncherClass, Qt::CaseInsensitive) == 0;
}

// On the root, with the window manager's frame around it when it says how wide that is.
std::optional<QRect> Frame(xcb_connection_t *c, xcb_window_t root, xcb_window_t window)
{
    auto attributes =
        Take(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return std::nullopt;
    auto geometry = Take(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    auto origin = Take(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, window, root, 0, 0), nullptr));
    if (!geometry || !origin)
        return std::nullopt;
    QRect frame(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    // Left, right, top, bottom.
    const QList<quint32> extents =
        Cardinals(Property(c, window, Atom(c, "_NET_FRAME_EXTENTS"))).mid(0, 4);
    if (extents.size() == 4)
        frame.adjust(-int(extents[0]), -int(extents[2]), int(extents[1]), int(extents[3]));
    return frame;
}

} // namespace

QList<QRect> LauncherWindows()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return {};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // The window manager's list of clients; without one, the root's children are the clients.
    QList<quint32> windows = Cardinals(Property(c, root, Atom(c, "_NET_CLIENT_LIST")));
    if (windows.isEmpty()) {
        auto tree = Take(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
        if (tree) {
            const xcb_window_t *children = xcb_query_tree_children(tree.get());
            windows =
                QList<quint32>(children, children + xcb_query_tree_children_length(tree.get()));
        }
    }
    // X11 counts pixels; windows are placed in device-independent ones.
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal ratio = screen ? screen->devicePixelRatio() : 1;
    QList<QRect> found;
    for (quint32 window : windows) {
        if (!IsLauncher(c, window))
            continue;
        if (const std::optional<QRect> frame = Frame(c, root, window))
            found.append(QRectF(QRectF(*frame).topLeft() / ratio, QRectF(*frame).size() / ratio)
                             .toAlignedRect());
    }
    return found;
}
