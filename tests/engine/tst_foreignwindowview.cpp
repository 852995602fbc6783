#include "engine/foreignwindowview.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QProcess>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QToolBar>
#include <QUrl>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

const char kChromium[] = "/usr/bin/chromium";

// A select at CSS (20,40) 120x30 and an input below it that shows what is typed in the title.
// The title says "ready" once the page has been drawn, and the new width after a resize.
const char kPage[] =
    "<!doctype html><title>loading</title><body style='margin:0' onload='"
    "requestAnimationFrame(()=>requestAnimationFrame(()=>document.title=\"ready\"))' "
    "onresize='document.title=\"w\"+innerWidth'>"
    "<select style='position:absolute;left:20px;top:40px;width:120px;"
    "height:30px'><option>one<option>two<option>three</select>"
    "<input style='position:absolute;left:20px;top:120px;width:200px;"
    "height:30px' onfocus='document.title=\"focused\"' "
    "oninput='document.title=\"t:\"+this.value'>";

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> Reply<T> Take(T *reply)
{
    return Reply<T>(reply, &std::free);
}

// The X server as another client sees it, apart from the one the view uses.
class Observer
{
public:
    Observer() : c(xcb_connect(nullptr, nullptr))
    {
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        const quint32 mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(c);
    }
    ~Observer() { xcb_disconnect(c); }

    // Whether `window` was shown as a top-level since this observer began: mapped as a child
    // of the root, or taken by anyone but `embedder` (a window manager's frame).
    bool ShownOnItsOwn(quint32 window, quint32 embedder)
    {
        bool shown = false;
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            const auto *reparent = reinterpret_cast<xcb_reparent_notify_event_t *>(event);
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && map->window == window)
                shown = true;
            if ((event->response_type & 0x7f) == XCB_REPARENT_NOTIFY &&
                reparent->window == window && reparent->parent != embedder)
                shown = true;
            std::free(event);
        }
        return shown;
    }

    QRect RootGeometry(quint32 window)
    {
        auto at = Take(xcb_translate_coordinates_reply(
            c, xcb_translate_coordinates(c, window, root, 0, 0), nullptr));
        auto size = Take(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
        return at && size ? QRect(at->dst_x, at->dst_y, size->width, size->height) : QRect();
    }

    QString Title(quint32 window)
    {
        const char name[] = "_NET_WM_NAME";
        auto atom =
            Take(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr));
        auto reply = Take(xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
            nullptr));
        if (!reply)
            return {};
        return QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(reply.get())),
                                 xcb_get_property_value_length(reply.get()));
    }

    // The shown override-redirect children of the root: pop-ups and menus.
    QList<QRect> PopUps()
    {
        QList<QRect> found;
        auto tree = Take(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            auto attributes = Take(xcb_get_window_attributes_reply(
                c, xcb_get_window_attributes(c, children[i]), nullptr));
            if (attributes && attributes->override_redirect &&
                attributes->map_state == XCB_MAP_STATE_VIEWABLE)
                found << RootGeometry(children[i]);
        }
        return found;
    }

    quint32 Focus()
    {
        auto reply = Take(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        return reply ? reply->focus : 0;
    }

private:
    xcb_connection_t *c;
    xcb_window_t root;
};

void Xdotool(const QStringList &arguments)
{
    QCOMPARE(QProcess::execute("xdotool", arguments), 0);
}

void ClickAt(const QPoint &global)
{
    Xdotool({"mousemove", QString::number(global.x()), QString::number(global.y()), "click", "1"});
}

} // namespace

class TestForeignWindowView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!ForeignWindowView::Supported())
            QSKIP("needs X11");
        if (!QFile::exists(kChromium))
            QSKIP("needs /usr/bin/chromium");
    }

    // One browser run, step by step: taken in without showing on its own, at our place and
    // size, its pop-ups open, the keyboard goes to the page and back, our shortcuts still
    // reach us, and its end is reported.
    void embedsBrowserWindow()
    {
        QMainWindow window;
        auto *toolBar = window.addToolBar("tools");
        auto *address = new QLineEdit;
        toolBar->addWidget(address);
        auto *view = new ForeignWindowView;
        auto *stage = new QScrollArea; // as the window shows a zoomed page
        stage->setWidgetResizable(true);
        stage->setWidget(view);
        window.setCentralWidget(stage);
        window.resize(600, 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QSignalSpy failed(view, &ForeignWindowView::failed);
        view->Embed("NoSuchClass", 0, 100);
        QTRY_COMPARE(failed.count(), 1);

        Observer observer;
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QProcess browser;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "TMPDIR"})
            environment.insert(name, home.path());
        browser.setProcessEnvironment(environment);
        browser.setStandardOutputFile(QProcess::nullDevice());
        browser.setStandardErrorFile(QProcess::nullDevice());
        const QByteArray windowClass = "VelmoraTest" + QByteArray::number(getpid());
        QStringList arguments{"--ozone-platform=x11",
                              "--class=" + QString::fromLatin1(windowClass),
                              "--user-data-dir=" + home.filePath("profile"),
                              "--no-first-run",
                              "--no-default-browser-check",
                              "--password-store=basic",
                              "--disable-background-networking",
                              "--disable-component-update",
                              "--disable-sync",
                              "--window-size=400,300",
                              "--app=data:text/html," +
                                  QString::fromLatin1(QUrl::toPercentEncoding(kPage))};
        if (geteuid() == 0)
            arguments << "--no-sandbox"
                      << "--test-type";
        browser.start(kChromium, arguments);
        QVERIFY(browser.waitForStarted());

        QSignalSpy embedded(view, &ForeignWindowView::embedded);
        QSignalSpy lost(view, &ForeignWindowView::lost);
        QSignalSpy shortcut(view, &ForeignWindowView::shortcutPressed);
        view->GrabShortcuts({QKeySequence("Ctrl+R"), QKeySequence("Ctrl++")});
        view->Embed(windowClass, browser.processId(), 20000);
        QThread::msleep(1500); // our event loop busy while the browser shows its window
        QTRY_COMPARE_WITH_TIMEOUT(embedded.count(), 1, 20000);
        const quint32 page = view->foreignWindow();
        // Drawn, and maybe resized to our size since.
        const QString resized = "w" + QString::number(view->width());
        QTRY_VERIFY_WITH_TIMEOUT(observer.Title(page) == "ready" || observer.Title(page) == resized,
                                 10000);

        // Never shown on its own, and inside our window, under the toolbar, at the view's size.
        QVERIFY(!observer.ShownOnItsOwn(page, view->winId()));
        const auto shownArea = [view] { return QRect(view->mapToGlobal(QPoint()), view->size()); };
        QTRY_COMPARE(observer.RootGeometry(page), shownArea());
        QVERIFY(shownArea().top() >= toolBar->mapToGlobal(QPoint(0, toolBar->height())).y());

        // The select's pop-up opens below it, by click, and by key once our window has moved
        // and grown.
        const QList<QRect> before = observer.PopUps();
        for (const QPoint move : {QPoint(0, 0), QPoint(90, 60)}) {
            window.move(window.pos() + move);
            window.resize(window.size() + QSize(move.x(), move.y()));
            QTRY_COMPARE(observer.RootGeometry(page), shownArea());
            const QPoint selectBottomLeft = shownArea().topLeft() + QPoint(20, 70);
            if (move.isNull()) {
                ClickAt(selectBottomLeft + QPoint(60, -15));
            } else {
                QTRY_COMPARE(observer.Title(page), "w" + QString::number(view->width()));
                Xdotool({"key", "space"});
            }
            const auto popUpAtSelect = [&] {
                for (const QRect &popUp : observer.PopUps())
                    if (!before.contains(popUp) && popUp.width() > 50 &&
                        (popUp.topLeft() - selectBottomLeft).manhattanLength() < 40)
                        return true;
                return false;
            };
            QTRY_VERIFY2_WITH_TIMEOUT(popUpAtSelect(),
                                      qPrintable(QDebug::toString(observer.PopUps()) + " at " +
                                                 QDebug::toString(selectBottomLeft)),
                                      5000);
            Xdotool({"key", "Escape"});
            QTRY_COMPARE(observer.PopUps(), before);
        }

        // A click into the page gives it the keyboard, wherever the pointer goes afterwards.
        ClickAt(shownArea().topLeft() + QPoint(100, 135));
        QTRY_COMPARE(observer.Title(page), QString("focused"));
        Xdotool({"mousemove", QString::number(address->mapToGlobal(QPoint(5, 5)).x()),
                 QString::number(address->mapToGlobal(QPoint(5, 5)).y())});
        Xdotool({"type", "abc"});
        QTRY_COMPARE(observer.Title(page), QString("t:abc"));
        QCOMPARE(observer.Focus(), page);

        // Our shortcuts reach us, not the page (Ctrl+R there would reload it), NumLock or not.
        Xdotool({"key", "ctrl+r"});
        Xdotool({"key", "Num_Lock", "ctrl+plus", "Num_Lock"});
        QTRY_COMPARE(shortcut.count(), 2);
        QCOMPARE(shortcut.at(0).at(0).value<QKeySequence>(), QKeySequence("Ctrl+R"));
        QCOMPARE(shortcut.at(1).at(0).value<QKeySequence>(), QKeySequence("Ctrl++"));
        Xdotool({"type", "d"});
        QTRY_COMPARE(observer.Title(page), QString("t:abcd"));

        // A click on our own widget takes the keyboard back.
        ClickAt(address->mapToGlobal(QPoint(5, 5)));
        QTRY_COMPARE(observer.Focus(), quint32(window.winId()));
        Xdotool({"type", "z"});
        QTRY_COMPARE(address->text(), QString("z"));
        QCOMPARE(observer.Title(page), QString("t:abcd"));
        view->FocusPage();
        QTRY_COMPARE(observer.Title(page), QString("focused"));
        Xdotool({"type", "e"});
        QTRY_COMPARE(observer.Title(page), QString("t:abcde"));

        browser.kill();
        QTRY_COMPARE(lost.count(), 1);
        QVERIFY(!view->isEmbedded());
        browser.waitForFinished();
        QTest::qWait(100);
    }
};

QTEST_MAIN(TestForeignWindowView)
#include "tst_foreignwindowview.moc"
