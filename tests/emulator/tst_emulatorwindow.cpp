#include "engine/chromiumpage.h"
#include "engine/foreignwindowview.h"
#include "processtree.h"
#include "testplatform.h"
#include "ui/emulatorwindow.h"
#include "ui/messagebar.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

#include <csignal>

#include <xcb/xcb.h>

namespace {

const QString Browser = QStringLiteral("/usr/bin/chromium");

// What the page's own world says to `expression` (a promise is awaited).
QString Evaluate(BrowserPage *page, const QString &expression)
{
    std::optional<QString> value;
    page->Evaluate(
        expression,
        [&](const QJsonValue &result, const QString &problem) {
            value = problem.isEmpty() ? result.toVariant().toString() : problem;
        },
        BrowserPage::World::Page);
    return QTest::qWaitFor([&] { return value.has_value(); }, 10000) ? *value : "no answer";
}

QAction *Action(const QWidget &window, const QString &text)
{
    for (QAction *action : window.findChildren<QAction *>())
        if (action->text() == text)
            return action;
    return nullptr;
}

// Presses the message bar's button named `text` once the bar shows it.
bool Answer(const QWidget &window, const QString &text)
{
    return QTest::qWaitFor(
        [&] {
            const auto *bar = window.findChild<MessageBar *>();
            for (QPushButton *button : bar->findChildren<QPushButton *>()) {
                if (bar->isVisible() && button->text() == text) {
                    button->click();
                    return true;
                }
            }
            return false;
        },
        20000);
}

// Runs xdotool with these arguments, `at` first moving the pointer there.
bool Xdo(const QStringList &arguments, const QPoint &at = {})
{
    const QStringList move = {"mousemove", QString::number(at.x()), QString::number(at.y())};
    return QProcess::execute("xdotool", (at.isNull() ? QStringList() : move) + arguments) == 0;
}

// After two frames, so that any resize the last command caused has reached the page.
const QString Seen = "new Promise(done => requestAnimationFrame(() => requestAnimationFrame(() =>"
                     " done(events.join() + ' ' + innerWidth + 'x' + innerHeight + ' ' +"
                     " devicePixelRatio + ' ' + screen.orientation.type))))";

// Windows mapped straight below the root, as another client of the X server sees them.
class RootWatch
{
public:
    RootWatch() : connection(xcb_connect(nullptr, nullptr))
    {
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection,
                                     xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root,
                                     XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
    }
    ~RootWatch() { xcb_disconnect(connection); }

    bool MappedAtRoot(quint32 window)
    {
        bool mapped = false;
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                reinterpret_cast<xcb_map_notify_event_t *>(event)->window == window)
                mapped = true;
            std::free(event);
        }
        return mapped;
    }

private:
    xcb_connection_t *connection;
};

} // namespace

// The window in this process around a real browser: it turns and zooms the device without
// the page reloading, and outlives what a page can do to it.
class TestEmulatorWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<EmulatorWindow> window;
    BrowserPage *page = nullptr;

    std::unique_ptr<QSignalSpy> loaded;

    // Shows the device around a real browser on `address`; true once the page has loaded.
    bool Open(const QSize &pixels, int ppi, const QString &address,
              InputMethod input = InputMethod::Touch)
    {
        EmulatorRequest request;
        request.windowSize = pixels;
        request.ppi = ppi;
        request.input = input;
        request.address = address;
        page = new ChromiumPage({Browser, {}, false, {}});
        window = std::make_unique<EmulatorWindow>(request, Device::FromRequest(request),
                                                  UserAgentDetails(), page, QString());
        window->show();
        loaded = std::make_unique<QSignalSpy>(page, &BrowserPage::loadFinished);
        window->Start();
        return QTest::qWaitFor([&] { return loaded->size() == 1; }, 30000);
    }

    void Close()
    {
        QSignalSpy finished(page, &BrowserPage::finished);
        window->close();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 15000);
        QVERIFY(!window->isVisible());
        window.reset();
    }

    // Where the page's element with this id is on the screen.
    QRect InScreen(const QString &id)
    {
        const QString rect = "(r => [r.x, r.y, r.width, r.height].map(v => v * %1).join())"
                             "(document.getElementById('%2').getBoundingClientRect())";
        const QStringList r = Evaluate(page, rect.arg(window->displayZoom()).arg(id)).split(',');
        return r.size() != 4
                   ? QRect()
                   : QRectF(r[0].toDouble(), r[1].toDouble(), r[2].toDouble(), r[3].toDouble())
                         .toRect()
                         .translated(window->pageGeometry().topLeft());
    }

    // Clicks the middle of the page's element with this id, as a user would.
    bool Click(const QString &id)
    {
        const QPoint at = InScreen(id).center();
        return !at.isNull() && Xdo({"click", "1"}, at);
    }

    QImage Grab(const QRect &r)
    {
        return window->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
    }

private Q_SLOTS:
    // The toolbars share a row above a device wide enough for both, else take one each.
    void toolbarRows_data()
    {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<int>("ppi");
        QTest::addColumn<bool>("twoRows");
        QTest::newRow("small phone") << QSize(240, 320) << 120 << true;
        QTest::newRow("phone") << QSize(1080, 2400) << 420 << true;
        QTest::newRow("tablet") << QSize(1600, 2560) << 240 << false;
        QTest::newRow("desktop") << QSize(1920, 1080) << 160 << false;
    }

    void toolbarRows()
    {
        QFETCH(QSize, pixels);
        QFETCH(int, ppi);
        EmulatorRequest request;
        request.windowSize = pixels;
        request.ppi = ppi;
        request.zoomPercent = 100;
        EmulatorWindow shown(request, Device::FromRequest(request), {},
                             new ChromiumPage({Browser, {}, false, {}}), QString());
        shown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shown));
        QTEST(shown.toolBarBreak(shown.toolsBar()), "twoRows");
        // Never narrower than the device, nor than its tools.
        QVERIFY(shown.width() >= qMin(request.windowSize.width() * 160 / ppi, 1280));
    }

    // The toolbar and the Emulate menu change what the page sees at once, without a reload:
    // offline, its requests to a local peer fail; the notch turns with the device; the
    // browser's own inspector opens in a window of its own and changes nothing.
    void deviceMenus()
    {
        QTcpServer peer;
        QVERIFY(peer.listen(QHostAddress::LocalHost));
        connect(&peer, &QTcpServer::newConnection, &peer, [&peer] {
            QTcpSocket *socket = peer.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                socket->write("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
                socket->disconnectFromHost();
            });
        });
        QVERIFY(Open({1080, 2400}, 420, VELMORA_TEST_DATA_DIR "/emulator/device.html"));
        const QString seen =
            QString(
                "(s => fetch('http://127.0.0.1:%1/', {mode: 'no-cors'}).then(() => 'fetched',"
                " () => 'failed').then(f => [matchMedia('(prefers-color-scheme: dark)').matches,"
                " matchMedia('(prefers-reduced-motion: reduce)').matches, navigator.onLine, f,"
                " s.paddingTop, s.paddingLeft].join()))(getComputedStyle(document.body.appendChild("
                "Object.assign(document.createElement('div'), {style: 'padding: "
                "env(safe-area-inset-top) 0 0 env(safe-area-inset-left)'}))))")
                .arg(peer.serverPort());
        QCOMPARE(Evaluate(page, seen), "false,false,true,fetched,0px,0px");
        for (const char *choice : {"Dark", "Reduce motion", "Offline", "Notch (47,0,34,0)"})
            Action(*window, choice)->trigger();
        QTRY_COMPARE(Evaluate(page, seen), "true,true,false,failed,47px,0px");

        const QString turned = "orientationchange,resize 915x412 2.625 landscape-primary";
        QCOMPARE(Evaluate(page, "window.events = []; for (const e of ['resize',"
                                " 'orientationchange', 'load']) addEventListener(e, () =>"
                                " events.push(e)); 'listening'"),
                 "listening");
        Action(*window, "Rotate")->trigger();
        QTRY_COMPARE(Evaluate(page, Seen), turned);
        QTRY_COMPARE(Evaluate(page, seen), "true,true,false,failed,0px,47px");
        for (const char *choice : {"As the system", "Reduce motion", "Unthrottled", "None"})
            Action(*window, choice)->trigger();
        QTRY_COMPARE(Evaluate(page, seen), "false,false,true,fetched,0px,0px");
        Action(*window, "50%")->trigger();
        QCOMPARE(window->displayZoom(), 0.5);
        QCOMPARE(window->pageGeometry().size(), QSize(458, 206));
        QCOMPARE(Evaluate(page, Seen), turned);

        Action(*window, "Inspect")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(Xdo({"search", "--onlyvisible", "--name", "^DevTools"}), 20000);
        QCOMPARE(Evaluate(page, Seen), turned);
        QCOMPARE(loaded->size(), 1);
        Close();
    }

    // A page's dialogs wait in a bar, never in the way; its requests get an answer at once; a
    // download is saved where the status line says; the device is drawn whole, with no bar of
    // the browser's own over it; a renderer that crashes or hangs leaves the window running,
    // and Reload brings the page back with the device.
    void pageDutiesAndTrouble()
    {
        QVERIFY(Open({1080, 2400}, 420, VELMORA_TEST_DATA_DIR "/emulator/device.html"));
        QSignalSpy notices(page, &BrowserPage::notice);
        Evaluate(page, "setTimeout(() => { document.title = 'said ' + confirm('Sure?'); });");
        QVERIFY(Answer(*window, "OK"));
        QTRY_COMPARE(Evaluate(page, "document.title"), "said true");
        QCOMPARE(Evaluate(page, "Promise.all([new Promise(done =>"
                                " navigator.geolocation.getCurrentPosition(() => done('located'),"
                                " e => done('no location'))), Notification.requestPermission(),"
                                " navigator.clipboard.readText().catch(() => 'no clipboard')])"
                                ".then(a => a.join())"),
                 "no location,denied,no clipboard");

        Evaluate(page, "const a = document.createElement('a'); a.href = 'data:text/plain,saved';"
                       " a.download = 'velmora-test.txt'; document.body.append(a); a.click();");
        QTRY_VERIFY_WITH_TIMEOUT(!notices.isEmpty() &&
                                     notices.last().first().toString().startsWith("Download saved"),
                                 10000);
        const QString path = notices.last().first().toString().section(" to ", 1);
        QFile saved(path);
        QVERIFY2(saved.open(QIODevice::ReadOnly), qPrintable(path));
        QCOMPARE(saved.readAll(), "saved");

        // Once drawn, the page's top left is its white background and its fixed bar shows at
        // the bottom; scaled to the screen, a colour may be a step off.
        const QRect shown = window->pageGeometry();
        const QRect corner(shown.topLeft() + QPoint(2, 2), QSize(1, 1));
        const auto near = [](const QColor &a, QRgb b) {
            return qAbs(a.red() - qRed(b)) + qAbs(a.green() - qGreen(b)) +
                       qAbs(a.blue() - qBlue(b)) <=
                   6;
        };
        QTRY_VERIFY(near(Grab(corner).pixelColor(0, 0), qRgb(255, 255, 255)));
        QVERIFY(
            near(Grab(corner.translated(0, shown.height() - 5)).pixelColor(0, 0), qRgb(0, 0, 255)));

        QSignalSpy gone(page, &BrowserPage::rendererGone);
        for (qint64 pid : ProcessTree(qobject_cast<ChromiumPage *>(page)->browserProcessId()))
            if (ReadAll(QString("/proc/%1/cmdline").arg(pid)).contains("--type=renderer"))
                ::kill(pid_t(pid), SIGKILL); // every renderer
        QTRY_COMPARE_WITH_TIMEOUT(gone.size(), 1, 10000);
        QVERIFY(Answer(*window, "Reload"));
        QTRY_COMPARE_WITH_TIMEOUT(loaded->size(), 2, 20000);
        QCOMPARE(Evaluate(page, "innerWidth + ' ' + navigator.maxTouchPoints"), "412 5");

        QSignalSpy stuck(page, &BrowserPage::unresponsive);
        Evaluate(page, "setTimeout(() => { for (;;) {} }); 'spinning'");
        QTRY_COMPARE_WITH_TIMEOUT(stuck.size(), 1, 20000);
        QVERIFY(Answer(*window, "Stop the page"));
        QTRY_COMPARE_WITH_TIMEOUT(gone.size(), 2, 10000);
        Close();
    }

    // What the user does in the page, as X delivers it: the browser's window never shows on
    // its own, its pop-ups open, the keyboard follows clicks wherever the pointer goes, the
    // window's shortcuts work from inside the page, a link to another window opens its page
    // in the device as the user's navigation, and the browser's end closes the window.
    void userInput()
    {
        RootWatch watch; // from before the browser starts
        QVERIFY(Open({1080, 2400}, 420, VELMORA_TEST_DATA_DIR "/emulator/input.html"));
        QSignalSpy navigated(page, &BrowserPage::navigated);
        const auto *view = window->findChild<ForeignWindowView *>();
        QVERIFY(view && view->isEmbedded());
        QVERIFY(!watch.MappedAtRoot(view->foreignWindow()));

        const QRect below = InScreen("choice").translated(0, 40);
        const QImage before = Grab(below);
        QVERIFY(Click("choice"));
        QTRY_VERIFY(Grab(below) != before);
        Xdo({"key", "Escape"});
        QTRY_COMPARE(Grab(below), before);

        QVERIFY(Click("text"));
        const QPoint toolbar = window->toolsBar()->mapToGlobal(QPoint(2, 2));
        Xdo({"type", "hi"}, toolbar);
        QTRY_COMPARE(page->title(), "typed hi");
        Xdo({"key", "ctrl+r"});
        QTRY_COMPARE(Evaluate(page, "innerWidth + ' ' + document.title"), "915 typed hi");
        Xdo({"key", "Num_Lock", "ctrl+minus", "Num_Lock"});
        QTRY_VERIFY(window->displayZoom() < 1);
        QTest::qWait(200); // the window takes its new size
        QLineEdit *address = nullptr;
        for (QLineEdit *edit : window->findChildren<QLineEdit *>())
            if (edit->placeholderText() == "Address")
                address = edit;
        Xdo({"click", "1"}, address->mapToGlobal(QPoint(4, 4)));
        QTest::qWait(300); // as a user would, after the click has arrived
        Xdo({"type", "z"});
        QTRY_VERIFY(address->text().contains('z'));
        QCOMPARE(page->title(), "typed hi");

        QVERIFY(Click("away"));
        QTRY_VERIFY_WITH_TIMEOUT(page->url().fileName() == "device.html", 10000);
        QCOMPARE(navigated.last().at(1).value<BrowserPage::NavigationCause>(),
                 BrowserPage::NavigationCause::User);
        QTest::qWait(500);
        // No browser window at the root: xdotool finds none.
        QVERIFY(!Xdo({"search", "--maxdepth", "1", "--onlyvisible", "--class", "VelmoraPage"}));

        QSignalSpy finished(page, &BrowserPage::finished);
        ::kill(pid_t(qobject_cast<ChromiumPage *>(page)->browserProcessId()), SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QVERIFY(!finished.first().first().toString().isEmpty());
        QTRY_VERIFY(!window->isVisible());
        window.reset();
    }

    // On a device with keys only, a click does not reach the page; keys do. A page that then
    // shows alert after alert cannot keep its window open.
    void keysOnlyAndAlerts()
    {
        QVERIFY(
            Open({240, 320}, 120, VELMORA_TEST_DATA_DIR "/emulator/input.html", InputMethod::Keys));
        Evaluate(page, "addEventListener('click', () => document.title = 'clicked')");
        QVERIFY(Click("text"));
        QTest::qWait(300);
        QCOMPARE(page->title(), "input");
        Evaluate(page, "document.getElementById('text').focus()");
        Xdo({"type", "k"});
        QTRY_COMPARE(page->title(), "typed k");

        QSignalSpy dialogs(page, &BrowserPage::dialogOpened);
        Evaluate(page, "setTimeout(() => { for (;;) alert('again'); })");
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs.isEmpty(), 30000);
        Close();
    }
};

int main(int argc, char *argv[])
{
    // The browser writes below these.
    const QTemporaryDir home;
    for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, QFile::encodeName(home.path()));
    QApplication app(argc, argv);
    TestEmulatorWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_emulatorwindow.moc"
