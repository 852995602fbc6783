#include "core/screenshotfile.h"
#include "emulatorgroup.h"
#include "frame.h"

#include <QtNetwork>
#include <QtTest>

namespace {

constexpr int Emulators = 4;
constexpr int StartMs = 60000;
constexpr int FollowMs = 15000;
// How long a window that must not follow is watched for doing so anyway.
constexpr int NotFollowedMs = 2500;
// A window ignores its own scrolling this long after it followed a scroll.
constexpr int ScrollQuietMs = 500;
// The test's X server: four windows side by side.
const QRect Screen(0, 0, 2800, 1400);

} // namespace

// Four real emulators in one group, each keeping its page's state in a file (-state-file):
// the first three follow, the fourth has Follow off. The first is driven with xdotool, as a
// user would; the others are only watched. Each test starts any emulator that is missing and
// has every window open the page afresh, so the tests run alone or in any order.
class TestGroupProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QProcess emulators[Emulators];
    QString page;
    QString address;
    // A local server a hostile page sends to; all it was sent.
    QTcpServer collector;
    QByteArray collected;
    const QByteArray secret = "velmora-secret-4711";

    QString StatePath(int i) const { return dir.filePath(QStringLiteral("state%1.json").arg(i)); }

    static QJsonObject StateIn(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }

    QJsonObject State(int i) const { return StateIn(StatePath(i)); }

    QList<int> Loads() const
    {
        QList<int> loads;
        for (int i = 0; i < Emulators; ++i)
            loads.append(State(i).value("loads").toInt());
        return loads;
    }

    // Runs xdotool in window `i`, where "view:x,y" and "frame:x,y" click that point of its page
    // or of the window, from the right or the bottom when negative.
    bool Xdotool(int i, const QStringList &arguments) const
    {
        QStringList expanded;
        for (const QString &argument : arguments) {
            const QStringList at = argument.split(QRegularExpression("[:,]"));
            const QJsonArray r = State(i).value(at.first()).toArray();
            const int x = at.value(1).toInt(), y = at.value(2).toInt();
            expanded +=
                at.size() != 3 || r.size() != 4
                    ? QStringList{argument}
                    : QStringList{"mousemove",
                                  QString::number(r[0].toInt() + (x < 0 ? r[2].toInt() : 0) + x),
                                  QString::number(r[1].toInt() + (y < 0 ? r[3].toInt() : 0) + y),
                                  "click", "1"};
        }
        QProcess process;
        process.start("xdotool", expanded);
        return process.waitForFinished(10000) && process.exitCode() == 0;
    }

    // The first window owns the channel at first; the next two, given no address, open the
    // group's; the fourth does not follow.
    void Start(int i)
    {
        const QStringList options[Emulators] = {
            {"-windowsize", "720x1280", "-ppi", "320", "-zoom", "50", page},
            {"-windowsize", "1080x2400", "-ppi", "420", "-input", "touch", "-zoom", "40"},
            {"-windowsize", "800x1280", "-ppi", "160", "-zoom", "40"},
            {"-windowsize", "720x1280", "-ppi", "320", "-zoom", "40", "-follow", "off", page}};
        QFile::remove(StatePath(i));
        emulators[i].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        emulators[i].start(EMULATOR_PATH,
                           options[i] + QStringList{"-profile-name", QString("Member %1").arg(i),
                                                    "-state-file", StatePath(i)});
        QTRY_COMPARE_WITH_TIMEOUT(State(i).value("address").toString(), address, StartMs);
        QTRY_COMPARE_WITH_TIMEOUT(State(i).value("title").toString(), "ready", StartMs);
    }

    // JSON with ' for ", framed.
    static QByteArray Frame(QByteArray payload)
    {
        return LocalChannel::EncodeFrame(payload.replace('\'', '"'));
    }

    // Says `payload` to the group as a peer of the test's own, and stays until every window
    // running `shows` it.
    bool Tell(const QByteArray &payload, const std::function<bool(int)> &shows)
    {
        QLocalSocket peer;
        peer.connectToServer(
            LocalChannel::Place::ForName(EmulatorGroup::ChannelName(), QString()).ServerName());
        const auto all = [&] {
            for (int i = 0; i < Emulators; ++i) {
                if (emulators[i].state() == QProcess::Running && !shows(i))
                    return false;
            }
            return true;
        };
        return peer.waitForConnected(5000) && peer.write(Frame(payload)) > 0 &&
               peer.waitForBytesWritten(5000) && QTest::qWaitFor(all, FollowMs);
    }

    bool Showing(int i, const QString &key, const QJsonValue &expected) const
    {
        const QJsonValue value = State(i).value(key);
        return value.isDouble() ? qAbs(value.toDouble() - expected.toDouble()) < 0.01
                                : value == expected;
    }

    // The page and its stylesheet in a folder of their own, with the hostile page sending to
    // the collecting server and the file it tries to read.
    bool MakeSite()
    {
        const QString site = dir.filePath("site");
        QFile style(site + "/css/style.css"), hostile(VELMORA_TEST_DATA_DIR "/group/secret.html"),
            copy(site + "/secret.html"), secretFile(site + "/secret.txt");
        return QDir().mkpath(site + "/css") &&
               QFile::copy(VELMORA_TEST_DATA_DIR "/group/follow.html", page) &&
               QFile::setPermissions(page, QFile::ReadOwner | QFile::WriteOwner) &&
               style.open(QIODevice::WriteOnly) && style.write("body {}\n") > 0 &&
               hostile.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly) &&
               copy.write(hostile.readAll().replace(
                   "PORT", QByteArray::number(collector.serverPort()))) > 0 &&
               secretFile.open(QIODevice::WriteOnly) && secretFile.write(secret) > 0;
    }

    static void Stop(QProcess &emulator)
    {
        emulator.terminate();
        if (!emulator.waitForFinished(10000))
            emulator.kill();
        emulator.waitForFinished(10000);
    }

    // An emulator of its own showing the collecting server's page, watching a folder where a
    // script saved reloads it once. Its state file is there too: rewritten at each load, it
    // once made the page reload for ever.
    void WatchedServer()
    {
        const QString served = dir.filePath("served");
        QVERIFY(QDir().mkpath(served + "/js"));
        QProcess watching;
        watching.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        watching.start(EMULATOR_PATH,
                       {"-windowsize", "720x1280", "-ppi", "320", "-zoom", "25", "-follow", "off",
                        "-watch", served, "-state-file", served + "/state.json",
                        QString("http://127.0.0.1:%1/").arg(collector.serverPort())});
        const auto state = [&served] { return StateIn(served + "/state.json"); };
        const auto loads = [&state] { return state().value("loads").toInt(); };
        QTRY_COMPARE_WITH_TIMEOUT(state().value("title").toString(), "collected", StartMs);
        const int before = loads();
        QFile script(served + "/js/app.js");
        QVERIFY(script.open(QIODevice::WriteOnly) && script.write("// saved\n") > 0);
        script.close();
        QTRY_COMPARE_WITH_TIMEOUT(loads(), before + 1, FollowMs);
        QTest::qWait(NotFollowedMs);
        QCOMPARE(loads(), before + 1);
        Stop(watching);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("xdotool is needed to act in a window as a user would");
        // A runtime directory of the test's own keeps its group apart from any other.
        for (const char *name :
             {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            qputenv(name, QFile::encodeName(dir.path()));
        page = dir.filePath("site/follow.html");
        address = QUrl::fromLocalFile(page).toString();
        QVERIFY(collector.listen(QHostAddress::LocalHost));
        connect(&collector, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = collector.nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    collected += socket->readAll();
                    socket->write("HTTP/1.0 200 OK\r\n\r\n<title>collected</title>");
                    socket->disconnectFromHost();
                });
            }
        });
        QVERIFY(MakeSite());
    }

    // Every window shows the page afresh, at its top, before the missing ones start.
    void init()
    {
        const QList<int> loads = Loads();
        if (std::any_of(std::begin(emulators), std::end(emulators),
                        [](const QProcess &e) { return e.state() == QProcess::Running; })) {
            QVERIFY(Tell("{'type':'open','address':'" + address.toUtf8() + "'}", [&](int i) {
                return State(i).value("loads").toInt() > loads[i] &&
                       Showing(i, "address", address) && Showing(i, "title", "ready");
            }));
            QVERIFY(Tell("{'type':'scroll','fraction':0}",
                         [this](int i) { return Showing(i, "fraction", 0.0); }));
            QTest::qWait(ScrollQuietMs);
        }
        for (int i = 0; i < Emulators && !QTest::currentTestFailed(); ++i) {
            if (emulators[i].state() != QProcess::Running)
                Start(i);
        }
    }

    void arranged()
    {
        QList<QRect> frames;
        for (int i = 0; i < Emulators; ++i) {
            const QJsonArray f = State(i).value("frame").toArray();
            frames.append(QRect(f[0].toInt(), f[1].toInt(), f[2].toInt(), f[3].toInt()));
            const QByteArray shown = QJsonDocument(f).toJson(QJsonDocument::Compact);
            QVERIFY2(Screen.contains(frames.last()), shown);
            for (int j = 0; j < i; ++j)
                QVERIFY2(!frames.at(i).intersects(frames.at(j)), shown);
        }
    }

    void follow_data()
    {
        // What the user does in the first window, with xdotool: its page's `key` shows `led`
        // there, `followed` in the other two that follow, and what it was in the fourth.
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("led");
        QTest::addColumn<QJsonValue>("followed");
        const auto row = [](const char *name, const QStringList &actions, const char *key,
                            const QJsonValue &led, const QJsonValue &followed) {
            QTest::newRow(name) << actions << QString(key) << led << followed;
        };
        // The button at the page's top, else a place that is no link nor button, for the focus.
        row("click", {"view:10,10"}, "title", "pressed", "pressed");
        row("scroll to the middle", {"view:10,-10", "key", "m"}, "fraction", 0.5, 0.5);
        // The form's field at the bottom right: a navigation of the user's is passed on, one
        // the page makes on its own is not (a page cannot lead the others anywhere).
        const QString sent = address + "?q=next", next = address + "?next";
        row("form sent", {"view:-10,-10", "key", "Return"}, "address", sent, sent);
        // Back and forward are the user's, after a navigation of the page's own.
        row("back and forward",
            {"view:10,-10", "key", "n", "sleep", "2", "key", "alt+Left", "sleep", "2", "key",
             "alt+Right"},
            "address", next, next);
        row("page's own navigation", {"view:10,-10", "key", "n"}, "address", next, address);
        // An address typed in the address field, at the window's top right.
        const QString typed = address + "?typed";
        row("address field", {"frame:-60,12", "key", "ctrl+l", "type", typed + '\r'}, "address",
            typed, typed);
        // What the user does in a page it went to on its own reaches no other page.
        row("in the page's own page",
            {"view:10,-10", "key", "n", "sleep", "3", "view:10,10", "view:-10,10", "type", "x"},
            "title", "text:x", "ready");
        // The page shows in its title what reached its fields at the top right: the text
        // field, the password field, which is never mirrored, not even its focus, and an
        // editable element.
        row("focus", {"view:-10,10"}, "title", "focus:text", "focus:text");
        row("typing", {"view:-10,10", "type", "Hi there"}, "title", "text:Hi there",
            "text:Hi there");
        row("password", {"view:-10,45", "type", "secret"}, "title", "password:secret", "ready");
        row("editable", {"view:-10,75", "type", "Hi"}, "title", "editable:Hi", "editable:Hi");
    }

    void follow()
    {
        QFETCH(QStringList, actions);
        QFETCH(QString, key);
        QFETCH(QJsonValue, led);
        QFETCH(QJsonValue, followed);
        const QJsonValue unfollowed = State(3).value(key);
        QVERIFY(Xdotool(0, actions));
        QTRY_VERIFY_WITH_TIMEOUT(Showing(0, key, led), FollowMs);
        if (followed != led)
            QTest::qWait(NotFollowedMs);
        for (int i = 1; i < 3; ++i)
            QTRY_VERIFY2_WITH_TIMEOUT(Showing(i, key, followed), qPrintable(QString::number(i)),
                                      FollowMs);
        QCOMPARE(State(3).value(key), unfollowed);
    }

    void secretPage_data()
    {
        // How the page sends, as it tells the server; its first letter opens it.
        QTest::addColumn<QString>("by");
        for (const char *by : {"script", "click", "link", "window"})
            QTest::newRow(by) << QString(by);
    }

    // A page from a file, which only the first window went to on its own, reads the file
    // beside it and sends what it read to a local server: it reads nothing, and nothing it
    // does, nor the user's click there, reaches another window.
    void secretPage()
    {
        QFETCH(QString, by);
        collected.clear();
        QVERIFY(Xdotool(0, {"view:10,-10", "key", by.left(1)}));
        QTRY_COMPARE_WITH_TIMEOUT(State(0).value("title").toString(), "read nothing", FollowMs);
        if (by != "script")
            QVERIFY(Xdotool(0, {"view:10,10"}));
        const QString collect =
            QString("http://127.0.0.1:%1/collect?by=%2").arg(collector.serverPort()).arg(by);
        QTRY_VERIFY_WITH_TIMEOUT(State(0).value("address").toString().startsWith(collect),
                                 FollowMs);
        QTest::qWait(NotFollowedMs);
        for (int i = 1; i < Emulators; ++i) {
            QCOMPARE(State(i).value("address").toString(), address);
            QCOMPARE(State(i).value("title").toString(), "ready");
        }
        QVERIFY2(!collected.contains(secret), collected.constData());
    }

    // One command saves every window's page, Follow or not, into one new folder, each file
    // named by its profile; a name taken gets a number.
    void screenshotAll()
    {
        QDir pictures(dir.filePath("Pictures/Velmora"));
        QVERIFY(Xdotool(1, {"frame:20,-8", "key", "ctrl+shift+a"}));
        const QStringList names{"Member 0.png", "Member 1.png", "Member 2.png", "Member 3.png"};
        const auto saved = [&] {
            const QStringList folders = pictures.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
            return folders.size() == 1 &&
                   QDir(pictures.filePath(folders.first())).entryList(QDir::Files) == names;
        };
        QTRY_VERIFY_WITH_TIMEOUT(saved(), FollowMs);
        const QString folder = pictures.filePath(pictures.entryList(QDir::Dirs).last());
        QFile file(QDir(folder).filePath(names.last()));
        QVERIFY(file.open(QIODevice::ReadOnly) && file.read(4) == "\x89PNG");
        QString failure;
        QCOMPARE(WriteGroupScreenshot(folder, "Member 0", "png", &failure),
                 QDir(folder).filePath("Member 0-2.png"));
        QCOMPARE(WriteGroupScreenshot(folder, "../x", "png", &failure),
                 QDir(folder).filePath("_x.png"));
        QVERIFY(failure.isEmpty());
    }

    // Open in all and Reload all reach every window, Follow or not.
    void inAll()
    {
        // The page leads its own window on, where no other follows; then Open in all.
        const QString next = address + "?next";
        QVERIFY(Xdotool(0, {"view:10,-10", "key", "n"}));
        QTRY_VERIFY_WITH_TIMEOUT(Showing(0, "address", next), FollowMs);
        QVERIFY(Xdotool(0, {"frame:20,-8", "key", "ctrl+shift+o"}));
        for (int i = 1; i < Emulators; ++i)
            QTRY_VERIFY_WITH_TIMEOUT(Showing(i, "address", next), FollowMs);
        const QList<int> loads = Loads();
        QVERIFY(Xdotool(0, {"key", "ctrl+shift+r"}));
        for (int i = 0; i < Emulators; ++i)
            QTRY_VERIFY_WITH_TIMEOUT(State(i).value("loads").toInt() > loads[i], FollowMs);
    }

    // Every window showing the file reloads, Follow or not, once, for a file saved in its
    // folder or below: also after the folder was deleted and made again, and in a folder of
    // 300 files. A page served over http reloads for a folder given with -watch.
    void liveReload_data()
    {
        QTest::addColumn<QString>("saved");  // under the site; empty: a page served over http
        QTest::addColumn<QString>("before"); // what was done first, which reloaded too
        const auto row = [](const char *name, const char *saved, const char *before) {
            QTest::newRow(name) << QString(saved) << QString(before);
        };
        row("page", "follow.html", "");
        row("stylesheet in css/", "css/style.css", "");
        row("folder deleted and made again", "follow.html", "made again");
        row("among 300 files", "99.js", "300 files");
        row("-watch, http page", "", "");
    }

    void liveReload()
    {
        QFETCH(QString, saved);
        QFETCH(QString, before);
        if (saved.isEmpty())
            return WatchedServer();
        QList<int> loads = Loads();
        if (before == "made again") {
            QVERIFY(QDir(dir.filePath("site")).removeRecursively());
            QTest::qWait(1000);
            QVERIFY(MakeSite());
        }
        for (int i = 0; i < (before == "300 files" ? 300 : 0); ++i)
            QVERIFY(QFile(dir.filePath(QString("site/%1.js").arg(i))).open(QIODevice::WriteOnly));
        for (int i = 0; i < Emulators && !before.isEmpty(); ++i)
            QTRY_VERIFY_WITH_TIMEOUT(State(i).value("loads").toInt() > loads[i], FollowMs);
        if (!before.isEmpty()) {
            QTest::qWait(1000);
            loads = Loads();
        }
        QFile file(dir.filePath("site/" + saved));
        QVERIFY(file.open(QIODevice::Append) && file.write("/* saved */\n") > 0);
        file.close();
        for (int i = 0; i < Emulators; ++i)
            QTRY_COMPARE_WITH_TIMEOUT(State(i).value("loads").toInt(), loads[i] + 1, FollowMs);
    }

    // Garbage, a giant frame, silence and messages that no window may act on change nothing;
    // what may be followed still is.
    void hostilePeers()
    {
        const LocalChannel::Place place =
            LocalChannel::Place::ForName(EmulatorGroup::ChannelName(), QString());
        QLocalSocket garbage, giant, silent, liar;
        for (QLocalSocket *socket : {&garbage, &giant, &silent, &liar}) {
            socket->connectToServer(place.ServerName());
            QVERIFY(socket->waitForConnected(5000));
        }
        garbage.write("\xff\xfegarbage, not a frame\n");
        giant.write(QByteArray("\x00\xff\xff\xff", 4) + QByteArray(64 * 1024, 'x'));
        const QByteArray shown = address.toUtf8();
        for (const QByteArray &payload : QByteArrayList{
                 "{'type':'navigate','address':'javascript:void(0)'}",
                 "{'type':'open','address':'data:text/html,<title>hacked</title>'}",
                 "{'type':'open','address':'velmora://hacked'}",
                 "{'type':'click','path':'button, a','address':'" + shown + "'}",
                 "{'type':'type','path':'html > body > div > input','address':'" + shown +
                     "','text':'" + QByteArray(GroupLimits::MaxTextLength + 1, 'x') + "'}",
                 "{'type':'scroll','fraction':1e400}",
                 "{'type':'hello','size':[99999999,1],'screen':[0,0,1,1]}",
                 "{'type':'navigate','address':'",
                 "{'type':'scroll','fraction':0.25,'address':'" + shown + "'}"})
            liar.write(Frame(payload));
        for (QLocalSocket *socket : {&garbage, &giant, &liar})
            QVERIFY(socket->waitForBytesWritten(5000));
        for (QLocalSocket *socket : {&garbage, &giant})
            QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QLocalSocket::UnconnectedState, FollowMs);
        for (int i = 0; i < Emulators; ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(Showing(i, "fraction", i < 3 ? 0.25 : 0.0), FollowMs);
            QCOMPARE(State(i).value("title").toString(), "ready");
            QCOMPARE(State(i).value("address").toString(), address);
        }
        QCOMPARE(silent.state(), QLocalSocket::ConnectedState);
    }

    // The first window, which owns the channel, crashes: the others go on as a group.
    void takeOver()
    {
        emulators[0].kill();
        QVERIFY(emulators[0].waitForFinished(10000));
        // Clicked until followed: a click before the two are joined again is not passed on.
        const auto followed = [this] { return State(1).value("title").toString() == "pressed"; };
        QDeadlineTimer deadline(FollowMs);
        while (!(Xdotool(2, {"view:10,10"}) && QTest::qWaitFor(followed, 1000)) &&
               !deadline.hasExpired()) {
        }
        QVERIFY(followed());
        QCOMPARE(State(3).value("title").toString(), "ready");
    }

    void cleanupTestCase()
    {
        for (QProcess &emulator : emulators)
            Stop(emulator);
    }
};

QTEST_GUILESS_MAIN(TestGroupProcess)
#include "tst_groupprocess.moc"
