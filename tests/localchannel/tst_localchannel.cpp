#include "client.h"
#include "frame.h"
#include "place.h"
#include "server.h"

#include <QtNetwork>
#include <QtTest>

#include <future>
#include <vector>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace LocalChannel;

namespace {

// A client blocks until answered, so it runs beside the server's event loop, not in it.
bool SendFromAnotherThread(const Place &place, const QByteArray &payload)
{
    std::future<bool> sent = std::async(std::launch::async, [place, payload] {
        Client client;
        return client.Connect(place, QDeadlineTimer(20000)) &&
               client.SendAndWait(payload, QDeadlineTimer(20000));
    });
    const bool ready = QTest::qWaitFor(
        [&] { return sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 30000);
    return ready && sent.get();
}

} // namespace

// The channel as a hostile or unlucky peer meets it: frames in any pieces, peers that send
// too much or nothing, more peers than are served, a listening socket that fails, and
// directories that are not the user's own.
class TestLocalChannel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void cleanup()
    {
        dir.reset();
        for (const auto &[name, value] :
             {std::pair("TMPDIR", savedTemporary), std::pair("XDG_RUNTIME_DIR", savedRuntime)})
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }

    void decoder_data()
    {
        QTest::addColumn<QByteArrayList>("reads");
        QTest::addColumn<QStringList>("items"); // the frames, then an "ack" per acknowledgement

        const QByteArray abc = EncodeFrame("abc");
        const auto row = [](const char *name, const QByteArrayList &reads,
                            const QStringList &items) { QTest::newRow(name) << reads << items; };
        row("header split across reads", {abc.left(1), abc.mid(1, 2), abc.mid(3)}, {"abc"});
        row("two frames in one write", {EncodeFrame("a") + EncodeFrame("")}, {"a", ""});
        row("acknowledgements around a frame", {"\x06" + EncodeFrame("x") + "\x06"},
            {"x", "ack", "ack"});
        row("the largest payload", {EncodeFrame("12345678")}, {"12345678"});
        // Known bad from its header alone; nothing after it is read.
        row("oversize header, then a good frame", {QByteArray::fromHex("00000009"), abc},
            {"malformed", "malformed"});
        row("another protocol", {"GET / HTTP/1.1\r\n"}, {"malformed"});
    }

    void decoder()
    {
        QFETCH(QByteArrayList, reads);
        FrameDecoder decoder(8);
        QStringList seen;
        for (const QByteArray &read : reads) {
            decoder.Append(read);
            QByteArrayList frames;
            int acknowledgements = 0;
            const bool wellFormed = decoder.TakeAll(&frames, &acknowledgements);
            for (const QByteArray &frame : std::as_const(frames))
                seen << QString::fromUtf8(frame);
            seen << QStringList(acknowledgements, QStringLiteral("ack"));
            if (!wellFormed)
                seen << QStringLiteral("malformed");
        }
        QTEST(seen, "items");
    }

    void peers_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArrayList>("delivered");

        // A peer that is dropped gets no answer at all.
        const QByteArrayList none;
        QTest::newRow("silence") << QByteArray() << none;
        QTest::newRow("half a frame, then silence") << EncodeFrame("abc").left(5) << none;
        QTest::newRow("oversize") << EncodeFrame("123456789") << none;
        QTest::newRow("an acknowledgement") << QByteArray("\x06") << none;
        QTest::newRow("two frames in one write")
            << EncodeFrame("a") + EncodeFrame("bc") << QByteArrayList{"a", "bc"};
    }

    // Each case has more peers of its kind than are served at once; when they are dropped or
    // leave, a client waiting behind them is still served, and every peer is answered in turn.
    void peers()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArrayList, delivered);

        const Server::Limits limits{2, 8, 100}; // peers, payload bytes, silence ms
        const Place place(dir->path(), QStringLiteral("channel"));
        Server server(place, limits);
        QVERIFY(server.Claim());
        QSignalSpy frames(&server, &Server::frameReceived);

        QLocalSocket peers[4];
        for (QLocalSocket &peer : peers) {
            peer.connectToServer(place.ServerName());
            QVERIFY(peer.waitForConnected(5000));
            peer.write(sent);
#ifndef Q_OS_WIN // a pipe there holds nothing: bytes leave once the server reads them
            QVERIFY(peer.waitForBytesWritten(5000) || sent.isEmpty());
#endif
        }
        QVERIFY(SendFromAnotherThread(place, "last"));

        const QByteArray acknowledgements(delivered.size(), AcknowledgementByte);
        for (QLocalSocket &peer : peers) {
            if (delivered.isEmpty())
                QTRY_COMPARE(peer.state(), QLocalSocket::UnconnectedState);
            else
                QTRY_COMPARE(peer.bytesAvailable(), qint64(acknowledgements.size()));
            QCOMPARE(peer.readAll(), acknowledgements);
            peer.abort();
        }
        QVERIFY(server.PeerCount() <= limits.maxPeers);
        QTRY_COMPARE(frames.size(), int(std::size(peers)) * delivered.size() + 1);
        QByteArrayList payloads;
        for (const QList<QVariant> &frame : frames)
            payloads << frame.at(1).toByteArray();
        QCOMPARE(payloads.count(QByteArray("last")), 1);
        for (const QByteArray &payload : delivered)
            QCOMPARE(payloads.count(payload), int(std::size(peers)));
    }

#ifdef Q_OS_UNIX // directories, their owners and file descriptors: Windows has pipe names
    void place_data()
    {
        QTest::addColumn<QString>("runtime");
        QTest::addColumn<QString>("temporary");
        // Names there that another user made first; a link stands for one.
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("chosen");

        // When the runtime directory is unusable, Qt offers one of its own making, "qt".
        const QString qt = QStringLiteral("tmp/runtime-") + ::getpwuid(::getuid())->pw_name;
        const QString own = QStringLiteral("tmp/localchannel-") + QString::number(::getuid());
        const QString tooLong(100, QLatin1Char('x'));
        const auto row = [](const char *name, const QString &runtime, const QString &temporary,
                            const QStringList &taken, const QString &chosen) {
            QTest::newRow(name) << runtime << temporary << taken << chosen;
        };
        row("runtime directory", "run", "tmp", {}, "run");
        row("runtime a link", "link", "tmp", {}, qt);
        row("runtime a link, Qt's taken", "link", "tmp", {qt}, own);
        row("runtime a link, both taken", "link", "tmp", {qt, own}, own + "-1");
        row("runtime a link, all taken", "link", "tmp",
            {qt, own, own + "-1", own + "-2", own + "-3"}, "config");
        row("runtime path too long", tooLong, "tmp", {}, own);
        row("every path too long", tooLong, tooLong + "/tmp", {}, tooLong);
    }

    void place()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, temporary);
        QFETCH(QStringList, taken);
        QFETCH(QString, chosen);

        const QDir base(dir->path());
        const QString elsewhere = base.filePath(QStringLiteral("elsewhere"));
        QVERIFY(base.mkpath(temporary) && base.mkpath(elsewhere));
        QVERIFY(runtime == QLatin1String("link") ? QFile::link(elsewhere, base.filePath(runtime))
                                                 : base.mkpath(runtime));
        QVERIFY(QFile::setPermissions(base.filePath(runtime.section(u'/', 0, 0)),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        for (const QString &path : taken)
            QVERIFY(QFile::link(elsewhere, base.filePath(path)));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(base.filePath(runtime)));
        qputenv("TMPDIR", QFile::encodeName(base.filePath(temporary)));
        const QString config =
            QFileInfo(base.filePath(temporary)).path() + QStringLiteral("/config");

        const Place place = Place::ForName(QStringLiteral("channel"), config);
        QCOMPARE(place.Directory(),
                 chosen == QLatin1String("config") ? config : base.filePath(chosen));
        struct stat info = {};
        QCOMPARE(::lstat(QFile::encodeName(place.Directory()).constData(), &info), 0);
        QVERIFY(S_ISDIR(info.st_mode));
        QCOMPARE(info.st_mode & (S_IRWXG | S_IRWXO), 0u);

        // Whether or not it can listen, the first process owns the channel and the next one
        // learns which; it never waits for an owner that cannot answer.
        Server owner(place);
        QVERIFY(owner.Claim());
        QCOMPARE(owner.IsListening(), place.ServerNameFits());
        QCOMPARE(place.ServerNameFits(), chosen.size() < 100);
        Server second(place);
        QVERIFY(!second.Claim());
        Client client;
        QCOMPARE(client.Connect(place, QDeadlineTimer(QDeadlineTimer::Forever)),
                 owner.IsListening());
    }

    // An accept that fails for want of file descriptors closes the listening socket; the server
    // listens again once descriptors are free.
    void listensAgain()
    {
        const Place place(dir->path(), QStringLiteral("channel"));
        Server server(place);
        QVERIFY(server.Claim() && server.IsListening());

        rlimit saved = {};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit low = saved;
        low.rlim_cur = 256;
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
        std::vector<int> held;
        for (int fd; (fd = ::dup(0)) >= 0;)
            held.push_back(fd);
        ::close(held.back());
        held.pop_back();
        QLocalSocket peer;
        peer.connectToServer(place.ServerName());
        QTRY_VERIFY(!server.IsListening());
        for (int fd : held)
            ::close(fd);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &saved), 0);

        QTRY_VERIFY(server.IsListening());
        QVERIFY(SendFromAnotherThread(place, "again"));
    }
#endif

private:
    std::unique_ptr<QTemporaryDir> dir;
    const QByteArray savedTemporary = qgetenv("TMPDIR");
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
};

QTEST_GUILESS_MAIN(TestLocalChannel)

#include "tst_localchannel.moc"
