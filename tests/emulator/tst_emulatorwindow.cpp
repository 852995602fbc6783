#include "devtoolschannel.h"
#include "emulatorwindow.h"
#include "pageemulation.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QtTest>

#include <unistd.h>

namespace {

// Makes the hidden inspector page lose every command, as a future engine might.
void BreakChannel(DevToolsChannel *channel)
{
    QWebEngineScript script;
    script.setInjectionPoint(QWebEngineScript::DocumentReady);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setSourceCode("InspectorFrontendHost.sendMessageToBackend = function () {};");
    channel->toolsPage()->scripts().insert(script);
}

// What the page says to `expression` (a promise is awaited), through the window's channel.
QString Evaluate(EmulatorWindow &window, const QString &expression)
{
    QString value;
    bool answered = false;
    window.emulation()->channel()->send(
        "Runtime.evaluate",
        {{"expression", expression}, {"awaitPromise", true}, {"returnByValue", true}},
        [&](const DevToolsReply &reply) {
            answered = true;
            value = reply.result.value("result").toObject().value("value").toString();
        });
    if (!QTest::qWaitFor([&] { return answered; }, 10000))
        return "no answer";
    return value;
}

QAction *Action(const QWidget &window, const QString &text)
{
    const QList<QAction *> actions = window.findChildren<QAction *>();
    const auto found = std::find_if(actions.begin(), actions.end(),
                                    [&](QAction *action) { return action->text() == text; });
    return found == actions.end() ? nullptr : *found;
}

// After two frames, so that any resize the last command caused has reached the page.
const QString Seen = "new Promise(done => requestAnimationFrame(() => requestAnimationFrame(() =>"
                     " done(events.join() + ' ' + innerWidth + 'x' + innerHeight + ' ' +"
                     " devicePixelRatio + ' ' + screen.orientation.type))))";

} // namespace

// The protocol channel in this process: replies go to their commands, refusals and silence
// are reported, and a window whose channel stays silent falls back instead of hanging. The
// window turns and zooms the device without the page reloading or seeing the zoom.
class TestEmulatorWindow : public QObject
{
    Q_OBJECT

    QWebEngineProfile profile; // private

private Q_SLOTS:
    void replies_data()
    {
        QTest::addColumn<bool>("broken");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QJsonObject>("params");
        QTest::addColumn<QString>("expected"); // the reply's value, or its error
        QTest::addColumn<bool>("answered");
        const QJsonObject sum{{"expression", "6 * 7"}, {"returnByValue", true}};
        QTest::newRow("answered") << false << "Runtime.evaluate" << sum << "42" << true;
        QTest::newRow("refused") << false << "No.suchMethod" << QJsonObject() << "refused" << true;
        QTest::newRow("silent") << true << "Runtime.evaluate" << sum << "" << false;
    }

    void replies()
    {
        QFETCH(bool, broken);
        QFETCH(QString, method);
        QFETCH(QJsonObject, params);
        QFETCH(QString, expected);
        QFETCH(bool, answered);
        QWebEnginePage page(&profile);
        DevToolsChannel channel(&page, 3000);
        if (broken)
            BreakChannel(&channel);
        // Both commands wait for the inspector page; the second must get its own reply.
        QList<DevToolsReply> replies;
        channel.send(method, params, [&](const DevToolsReply &reply) { replies << reply; });
        channel.send("Runtime.evaluate", {{"expression", "'second'"}, {"returnByValue", true}},
                     [&](const DevToolsReply &reply) { replies << reply; });
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 2, 20000);
        const DevToolsReply &reply = replies.first();
        QCOMPARE(reply.answered, answered);
        const QString value =
            reply.result.value("result").toObject().value("value").toVariant().toString();
        QCOMPARE(reply.error.isEmpty() ? value : QStringLiteral("refused"), expected);
        if (!broken) {
            QCOMPARE(replies.last().result.value("result").toObject().value("value").toString(),
                     "second");
        }
    }

    void fallback()
    {
        // Touch and a user agent: several commands time out together.
        EmulatorRequest request;
        request.input = InputMethod::Touch;
        request.userAgent = "Mozilla/5.0 (Linux; Android 14) Chrome/131.0.0.0 Mobile";
        request.address = VELMORA_TEST_DATA_DIR "/emulator/device.html";
        EmulatorWindow window(request, Device::FromRequest(request),
                              DeriveUserAgentDetails(request.userAgent), &profile, {});
        QSignalSpy loaded(window.page(), &QWebEnginePage::loadFinished);
        window.show();
        window.Start();
        BreakChannel(window.emulation()->channel());
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 30000);
        QVERIFY(!window.emulation());
        const QList<QLabel *> labels = window.statusBar()->findChildren<QLabel *>();
        QVERIFY(std::any_of(labels.begin(), labels.end(),
                            [](QLabel *label) { return label->text().contains("unavailable"); }));
    }

    void rotateAndZoom()
    {
        EmulatorRequest request;
        request.windowSize = {1080, 2400};
        request.ppi = 420;
        request.address = VELMORA_TEST_DATA_DIR "/emulator/device.html";
        EmulatorWindow window(request, Device::FromRequest(request), {}, &profile, {});
        QSignalSpy loaded(window.page(), &QWebEnginePage::loadFinished);
        window.show();
        window.Start();
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 30000);
        QCOMPARE(Evaluate(window, "window.events = []; for (const e of ['resize',"
                                  " 'orientationchange', 'load']) addEventListener(e, () =>"
                                  " events.push(e)); 'listening'"),
                 "listening");

        Action(window, "Rotate")->trigger();
        QTRY_COMPARE(Evaluate(window, Seen),
                     "orientationchange,resize 915x412 2.625 landscape-primary");
        Action(window, "50%")->trigger();
        QCOMPARE(window.displayZoom(), 0.5);
        QCOMPARE(Evaluate(window, Seen),
                 "orientationchange,resize 915x412 2.625 landscape-primary");
        QCOMPARE(loaded.size(), 1);
    }
};

int main(int argc, char *argv[])
{
    // The engine's sandbox refuses to start as root.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The engine and the graphics driver write below these.
    const QTemporaryDir home;
    for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, QFile::encodeName(home.path()));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestEmulatorWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_emulatorwindow.moc"
