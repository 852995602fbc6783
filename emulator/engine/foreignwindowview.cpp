#include "engine/foreignwindowview.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include <poll.h>
#include <unistd.h>

namespace {

Q_LOGGING_CATEGORY(lcEmbed, "velmora.embed", QtWarningMsg)

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> Reply<T> Take(T *reply)
{
    return Reply<T>(reply, &std::free);
}

xcb_connection_t *Connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t Root(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t Atom(xcb_connection_t *c, const char *name)
{
    auto reply = Take(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The property's bytes; empty when the window or the property does not exist.
QByteArray Property(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property)
{
    auto reply = Take(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr));
    if (!reply)
        return {};
    return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

quint32 Cardinal(const QByteArray &value)
{
    quint32 number = 0;
    if (value.size() >= int(sizeof number))
        std::memcpy(&number, value.constData(), sizeof number);
    return number;
}

constexpr quint16 kShift = XCB_MOD_MASK_SHIFT;
constexpr quint16 kControl = XCB_MOD_MASK_CONTROL;
constexpr quint16 kAlt = XCB_MOD_MASK_1;
constexpr quint16 kMeta = XCB_MOD_MASK_4;
constexpr quint32 kNumLockKeysym = 0xff7f;

quint16 ModifierMask(Qt::KeyboardModifiers modifiers)
{
    quint16 mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= kShift;
    if (modifiers & Qt::ControlModifier)
        mask |= kControl;
    if (modifiers & Qt::AltModifier)
        mask |= kAlt;
    if (modifiers & Qt::MetaModifier)
        mask |= kMeta;
    return mask;
}

// The X keysyms a Qt key may come from: the main keyboard's, then the keypad's.
QList<quint32> Keysyms(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return {quint32(key - Qt::Key_A + 'a')};
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return {quint32(0xffbe + key - Qt::Key_F1)};
    switch (key) {
    case Qt::Key_Plus:
        return {'+', 0xffab};
    case Qt::Key_Minus:
        return {'-', 0xffad};
    case Qt::Key_Asterisk:
        return {'*', 0xffaa};
    case Qt::Key_Slash:
        return {'/', 0xffaf};
    case Qt::Key_Escape:
        return {0xff1b};
    case Qt::Key_Tab:
        return {0xff09};
    case Qt::Key_Backspace:
        return {0xff08};
    case Qt::Key_Return:
        return {0xff0d};
    case Qt::Key_Enter:
        return {0xff8d};
    case Qt::Key_Insert:
        return {0xff63};
    case Qt::Key_Delete:
        return {0xffff};
    case Qt::Key_Home:
        return {0xff50};
    case Qt::Key_End:
        return {0xff57};
    case Qt::Key_Left:
        return {0xff51};
    case Qt::Key_Up:
        return {0xff52};
    case Qt::Key_Right:
        return {0xff53};
    case Qt::Key_Down:
        return {0xff54};
    case Qt::Key_PageUp:
        return {0xff55};
    case Qt::Key_PageDown:
        return {0xff56};
    default:
        break;
    }
    if (key >= 0x20 && key <= 0x7e) // digits and punctuation: Qt's key is the Latin-1 keysym
        return {quint32(key)};
    return {};
}

struct KeyboardMap
{
    xcb_keycode_t first = 0;
    int perKeycode = 0;
    QList<quint32> keysyms;

    explicit KeyboardMap(xcb_connection_t *c)
    {
        const xcb_setup_t *setup = xcb_get_setup(c);
        first = setup->min_keycode;
        const int count = setup->max_keycode - setup->min_keycode + 1;
        auto reply = Take(xcb_get_keyboard_mapping_reply(
            c, xcb_get_keyboard_mapping(c, first, static_cast<uint8_t>(count)), nullptr));
        if (!reply)
            return;
        perKeycode = reply->keysyms_per_keycode;
        const xcb_keysym_t *all = xcb_get_keyboard_mapping_keysyms(reply.get());
        keysyms = QList<quint32>(all, all + xcb_get_keyboard_mapping_keysyms_length(reply.get()));
    }

    // Each keycode that gives `keysym`, with Shift added where it is the shifted symbol.
    QList<QPair<xcb_keycode_t, quint16>> Find(quint32 keysym) const
    {
        QList<QPair<xcb_keycode_t, quint16>> found;
        for (int i = 0; perKeycode > 0 && i + perKeycode <= keysyms.size(); i += perKeycode) {
            const auto code = static_cast<xcb_keycode_t>(first + i / perKeycode);
            if (keysyms[i] == keysym)
                found.append({code, 0});
            else if (perKeycode > 1 && keysyms[i + 1] == keysym)
                found.append({code, kShift});
        }
        return found;
    }
};

// The modifier bit NumLock sets, which a grab must ignore as it ignores CapsLock.
quint16 NumLockMask(xcb_connection_t *c, const KeyboardMap &keyboard)
{
    const auto numLock = keyboard.Find(kNumLockKeysym);
    auto reply = Take(xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (!reply || numLock.isEmpty())
        return 0;
    const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier)
        for (int i = 0; i < perModifier; ++i)
            if (codes[modifier * perModifier + i] == numLock.first().first)
                return quint16(1u << modifier);
    return 0;
}

quint32 GrabKey(quint8 keycode, quint16 modifiers)
{
    return quint32(keycode) << 16 | modifiers;
}

// Whether `window` is the browser's page window, shown or about to be.
bool IsCandidate(xcb_connection_t *c, xcb_window_t window, const QByteArray &windowClass,
                 qint64 pid)
{
    auto attributes =
        Take(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    if (!attributes || attributes->override_redirect)
        return false;
    if (Property(c, window, XCB_ATOM_WM_CLASS).split('\0').value(1) != windowClass)
        return false;
    // The browser's group leader carries the same class but is never shown: it leads itself,
    // and it is 10x10, which tells it before that property is set.
    if (Cardinal(Property(c, window, Atom(c, "WM_CLIENT_LEADER"))) == window)
        return false;
    auto geometry = Take(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    if (!geometry || (attributes->map_state == XCB_MAP_STATE_UNMAPPED && geometry->width <= 10 &&
                      geometry->height <= 10))
        return false;
    const QByteArray windowPid = Property(c, window, Atom(c, "_NET_WM_PID"));
    return windowPid.isEmpty() || pid <= 0 || Cardinal(windowPid) == quint32(pid);
}

// The page window among new windows, or 0: the root's children are watched from their
// creation, and their properties until the class is set.
xcb_window_t NewPageWindow(xcb_connection_t *c, const xcb_generic_event_t *event,
                           const QByteArray &windowClass, qint64 pid)
{
    xcb_window_t window = 0;
    switch (event->response_type & 0x7f) {
    case XCB_CREATE_NOTIFY: {
        const auto *created = reinterpret_cast<const xcb_create_notify_event_t *>(event);
        if (created->override_redirect)
            return 0;
        window = created->window;
        const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
        break;
    }
    case XCB_PROPERTY_NOTIFY:
        window = reinterpret_cast<const xcb_property_notify_event_t *>(event)->window;
        break;
    case XCB_MAP_NOTIFY: // too late not to be seen, not too late to be taken in
        window = reinterpret_cast<const xcb_map_notify_event_t *>(event)->window;
        break;
    default:
        return 0;
    }
    return IsCandidate(c, window, windowClass, pid) ? window : 0;
}

} // namespace

// An X connection of our own, read on a thread of its own, for what must never wait for our
// event loop: taking the window in before it shows, and letting the pointer go on after a
// press in the page (a busy event loop would hold it for the whole screen).
class ForeignWindowView::XThread
{
public:
    // `handle` returns true once it is done.
    using Handler = std::function<bool(xcb_connection_t *c, const xcb_generic_event_t *event)>;

    XThread(const std::function<void(xcb_connection_t *c)> &setUp, Handler handler)
        : c(xcb_connect(nullptr, nullptr)), handle(std::move(handler))
    {
        if (xcb_connection_has_error(c) || ::pipe(wake) != 0)
            return;
        setUp(c);
        xcb_flush(c);
        thread = std::thread([this] { Run(); });
    }

    ~XThread()
    {
        if (thread.joinable()) {
            const char stop = 0;
            [[maybe_unused]] const auto written = ::write(wake[1], &stop, 1);
            thread.join();
        }
        for (const int fd : wake)
            if (fd >= 0)
                ::close(fd);
        xcb_disconnect(c); // and with it its grabs
    }

private:
    void Run()
    {
        pollfd watched[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {wake[0], POLLIN, 0}};
        for (;;) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
                const bool done = handle(c, event);
                std::free(event);
                if (done)
                    return;
            }
            if (xcb_connection_has_error(c) || poll(watched, 2, -1) < 0 || watched[1].revents)
                return;
        }
    }

    xcb_connection_t *c;
    Handler handle;
    int wake[2] = {-1, -1};
    std::thread thread;
};

ForeignWindowView::ForeignWindowView(QWidget *parent) : QWidget(parent)
{
    // A native window of our own: the embedded window sits at its (0, 0), which is where it
    // puts itself again whenever it re-applies its own bounds. Its ancestors become native
    // too, so that a scroll area around it clips it.
    setAttribute(Qt::WA_NativeWindow);
    searchTimer.setInterval(50);
    connect(&searchTimer, &QTimer::timeout, this, &ForeignWindowView::Search);
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, [this] {
        Release();
        emit failed(
            tr("No window of class %1 appeared in time.").arg(QString::fromLatin1(wantedClass)));
    });
    positionTimer.setSingleShot(true);
    positionTimer.setInterval(0);
    connect(&positionTimer, &QTimer::timeout, this, &ForeignWindowView::SendPosition);
    if (Supported()) {
        qApp->installNativeEventFilter(this);
        qApp->installEventFilter(this);
    }
}

ForeignWindowView::~ForeignWindowView()
{
    // Hands the window back to the root, unmapped, so that its process still has a window to
    // close cleanly instead of losing it with ours.
    Release();
}

bool ForeignWindowView::Supported()
{
    return Connection() != nullptr;
}

void ForeignWindowView::Embed(const QByteArray &windowClass, qint64 pid, int timeoutMs)
{
    if (!Supported()) {
        emit failed(tr("Embedding another program's window needs X11. Under Wayland, run this "
                       "program with QT_QPA_PLATFORM=xcb and Chromium with "
                       "--ozone-platform=x11, both through XWayland."));
        return;
    }
    Release();
    wantedClass = windowClass;
    wantedPid = pid;
    searching = true;
    const xcb_window_t target = xcb_window_t(winId());
    watcher = std::make_unique<XThread>(
        [](xcb_connection_t *c) {
            const quint32 mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
            xcb_change_window_attributes(c, Root(c), XCB_CW_EVENT_MASK, &mask);
        },
        [this, target, windowClass, pid](xcb_connection_t *c, const xcb_generic_event_t *event) {
            const xcb_window_t found = NewPageWindow(c, event, windowClass, pid);
            if (!found)
                return false;
            xcb_reparent_window(c, found, target, 0, 0);
            xcb_flush(c);
            QMetaObject::invokeMethod(
                this, [this, found] { Claim(found); }, Qt::QueuedConnection);
            return true;
        });
    deadline.start(timeoutMs);
    searchTimer.start();
    Search();
}

void ForeignWindowView::Search()
{
    xcb_connection_t *c = Connection();
    if (!searching || !c)
        return;
    // Depth 2 covers a window manager's frame around a window that was mapped before we
    // looked; a window found before it is mapped never shows on its own.
    QList<xcb_window_t> level{Root(c)};
    for (int depth = 0; depth < 2 && searching; ++depth) {
        QList<xcb_window_t> next;
        for (const xcb_window_t parentWindow : std::as_const(level)) {
            auto tree = Take(xcb_query_tree_reply(c, xcb_query_tree(c, parentWindow), nullptr));
            if (!tree)
                continue;
            const xcb_window_t *children = xcb_query_tree_children(tree.get());
            for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
                if (IsCandidate(c, children[i], wantedClass, wantedPid)) {
                    Claim(children[i]);
                    return;
                }
                next.append(children[i]);
            }
        }
        level = next;
    }
}

void ForeignWindowView::Claim(quint32 window)
{
    xcb_connection_t *c = Connection();
    if (!searching || !c)
        return;
    searching = false;
    searchTimer.stop();
    watcher.reset();
    foreign = window;
    qCDebug(lcEmbed) << "claimed" << Qt::hex << window;
    const quint32 mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, foreign, XCB_CW_EVENT_MASK, &mask);
    auto tree = Take(xcb_query_tree_reply(c, xcb_query_tree(c, foreign), nullptr));
    if (!tree) {
        foreign = 0;
        Release();
        emit failed(tr("The window of class %1 closed before it was shown.")
                        .arg(QString::fromLatin1(wantedClass)));
        return;
    }
    if (tree->parent != xcb_window_t(winId())) // found by the search, after it was created
        xcb_reparent_window(c, foreign, xcb_window_t(winId()), 0, 0);
    auto attributes =
        Take(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, foreign), nullptr));
    if (attributes && attributes->map_state != XCB_MAP_STATE_UNMAPPED)
        Wrap();
    // Otherwise its MapNotify wraps it, once its process shows it.
}

void ForeignWindowView::Wrap()
{
    if (container || !foreign)
        return;
    deadline.stop();
    qCDebug(lcEmbed) << "wrapped" << Qt::hex << foreign;
    container = QWidget::createWindowContainer(QWindow::fromWinId(foreign), this);
    container->setAttribute(Qt::WA_DontCreateNativeAncestors);
    container->setAttribute(Qt::WA_NativeWindow);
    container->setGeometry(rect());
    container->show();
    // Every press in the page stops the pointer until the page has the keyboard, then goes on
    // to the page, as a click-to-focus window manager does it: a page that only has the
    // keyboard through the pointer loses it to the grab a pop-up takes, and closes that
    // pop-up at once.
    const xcb_window_t page = foreign;
    presses = std::make_unique<XThread>(
        [page](xcb_connection_t *c) {
            xcb_grab_button(c, 0, page, XCB_EVENT_MASK_BUTTON_PRESS, XCB_GRAB_MODE_SYNC,
                            XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_BUTTON_INDEX_ANY,
                            XCB_MOD_MASK_ANY);
        },
        [page](xcb_connection_t *c, const xcb_generic_event_t *event) {
            if ((event->response_type & 0x7f) == XCB_BUTTON_PRESS) {
                const auto *press = reinterpret_cast<const xcb_button_press_event_t *>(event);
                xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, page, press->time);
                xcb_allow_events(c, XCB_ALLOW_REPLAY_POINTER, press->time);
                xcb_flush(c);
            }
            return false;
        });
    ApplyGrabs(true);
    positionTimer.start();
    emit embedded();
}

void ForeignWindowView::Release()
{
    searching = false;
    searchTimer.stop();
    deadline.stop();
    watcher.reset();
    presses.reset();
    if (xcb_connection_t *c = Connection(); c && foreign) {
        ApplyGrabs(false);
        xcb_unmap_window(c, foreign);
        xcb_reparent_window(c, foreign, Root(c), 0, 0);
        xcb_flush(c);
    }
    foreign = 0;
    delete container;
}

void ForeignWindowView::SendPosition()
{
    xcb_connection_t *c = Connection();
    if (!c || !foreign)
        return;
    // A reparented window is told where it is on the screen, as a window manager tells the
    // windows it frames: a browser places its pop-ups from what it was told last.
    auto at = Take(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, foreign, Root(c), 0, 0), nullptr));
    auto geometry = Take(xcb_get_geometry_reply(c, xcb_get_geometry(c, foreign), nullptr));
    if (!at || !geometry)
        return;
    xcb_configure_notify_event_t notify{};
    notify.response_type = XCB_CONFIGURE_NOTIFY;
    notify.event = foreign;
    notify.window = foreign;
    notify.above_sibling = XCB_NONE;
    notify.x = at->dst_x;
    notify.y = at->dst_y;
    notify.width = geometry->width;
    notify.height = geometry->height;
    char event[32] = {};
    std::memcpy(event, &notify, sizeof notify);
    qCDebug(lcEmbed) << "told position" << notify.x << notify.y << notify.width << notify.height;
    xcb_send_event(c, 0, foreign, XCB_EVENT_MASK_STRUCTURE_NOTIFY, event);
    xcb_flush(c);
}

void ForeignWindowView::GrabShortcuts(const QList<QKeySequence> &keys)
{
    ApplyGrabs(false);
    shortcuts = keys;
    ApplyGrabs(true);
}

void ForeignWindowView::ApplyGrabs(bool grab)
{
    xcb_connection_t *c = Connection();
    if (!c || !foreign)
        return;
    if (!grab) {
        for (const Grab &g : std::as_const(grabs))
            xcb_ungrab_key(c, g.keycode, foreign, g.modifiers);
        grabs.clear();
        grabbed.clear();
        xcb_flush(c);
        return;
    }
    const KeyboardMap keyboard(c);
    const quint16 numLock = NumLockMask(c, keyboard);
    QList<quint16> variants{0, XCB_MOD_MASK_LOCK};
    if (numLock)
        variants << numLock << quint16(numLock | XCB_MOD_MASK_LOCK);
    for (const QKeySequence &sequence : std::as_const(shortcuts)) {
        if (sequence.count() != 1)
            continue;
        const QKeyCombination combination = sequence[0];
        const quint16 modifiers = ModifierMask(combination.keyboardModifiers());
        for (const quint32 keysym : Keysyms(combination.key())) {
            for (const auto &[keycode, shift] : keyboard.Find(keysym)) {
                const quint16 wanted = modifiers | shift;
                if (grabbed.contains(GrabKey(keycode, wanted)))
                    continue;
                grabbed.insert(GrabKey(keycode, wanted), sequence);
                for (const quint16 variant : std::as_const(variants)) {
                    xcb_grab_key(c, 1, foreign, wanted | variant, keycode, XCB_GRAB_MODE_ASYNC,
                                 XCB_GRAB_MODE_ASYNC);
                    grabs.append({keycode, quint16(wanted | variant)});
                }
            }
        }
    }
    xcb_flush(c);
}

bool ForeignWindowView::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t" || !foreign)
        return false;
    auto *generic = static_cast<xcb_generic_event_t *>(message);
    switch (generic->response_type & 0x7f) {
    case XCB_MAP_NOTIFY: {
        auto *mapped = reinterpret_cast<xcb_map_notify_event_t *>(generic);
        if (foreign && mapped->window == foreign)
            Wrap();
        return false;
    }
    case XCB_DESTROY_NOTIFY: {
        auto *destroyed = reinterpret_cast<xcb_destroy_notify_event_t *>(generic);
        if (foreign && destroyed->window == foreign) {
            // Gone with its process: nothing may be asked of it any more.
            foreign = 0;
            presses.reset();
            grabs.clear();
            grabbed.clear();
            if (container)
                container->deleteLater();
            emit lost();
        }
        return false;
    }
    case XCB_CONFIGURE_NOTIFY: {
        auto *configured = reinterpret_cast<xcb_configure_notify_event_t *>(generic);
        if (foreign && configured->window == foreign && !(generic->response_type & 0x80))
            positionTimer.start();
        return false;
    }
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE: {
        auto *key = reinterpret_cast<xcb_key_press_event_t *>(generic);
        if (!foreign || key->event != foreign)
            return false;
        const quint16 modifiers = key->state & (kShift | kControl | kAlt | kMeta);
        const auto hit = grabbed.constFind(GrabKey(key->detail, modifiers));
        if (hit == grabbed.constEnd())
            return false;
        if ((generic->response_type & 0x7f) == XCB_KEY_PRESS)
            emit shortcutPressed(hit.value());
        return true;
    }
    default:
        return false;
    }
}

bool ForeignWindowView::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Resize:
        if (container)
            container->setGeometry(rect());
        positionTimer.start();
        break;
    case QEvent::Move:
        positionTimer.start();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool ForeignWindowView::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
        if (foreign && watched == window())
            positionTimer.start();
        break;
    case QEvent::MouseButtonPress:
        // Whatever we believe of the keyboard: focus events of the embedded window do not
        // all reach us, and one click too many costs nothing.
        if (foreign)
            TakeKeyboardBack(qobject_cast<QWidget *>(watched));
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// A click on one of our own widgets takes the keyboard back from the page.
void ForeignWindowView::TakeKeyboardBack(QWidget *clicked)
{
    if (!clicked || clicked->window() != window() || clicked == this || isAncestorOf(clicked))
        return;
    if (xcb_connection_t *c = Connection()) {
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, xcb_window_t(window()->winId()),
                            XCB_CURRENT_TIME);
        xcb_flush(c);
    }
}
