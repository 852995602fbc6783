#include "qtsingleapplication.h"

#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <QWidget>
#include <QtEndian>

#include <memory>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

namespace {

const char Ack = '\x06';

QString RandomId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QByteArray Frame(const QByteArray &payload)
{
    QByteArray frame(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), frame.data());
    return frame + payload;
}

// One run of the helper program, with what it printed so far.
class Helper
{
public:
    explicit Helper(const QString &id, int timeout = 5000, const QString &message = QString())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(SINGLEINSTANCE_HELPER),
                      {id, QString::number(timeout), message});
    }

    ~Helper()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }

    QStringList Lines()
    {
        output += process.readAllStandardOutput();
        return QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // Waits until the helper became the primary and returns its server name.
    QString WaitUntilPrimary()
    {
        const QString prefix = QStringLiteral("primary ");
        QString name;
        const bool ended = QTest::qWaitFor(
            [&] {
                for (const QString &line : Lines()) {
                    if (line.startsWith(prefix))
                        name = line.mid(prefix.size());
                }
                return !name.isEmpty() || process.state() == QProcess::NotRunning;
            },
            10000);
        return ended ? name : QString();
    }

    QStringList Messages()
    {
        const QString prefix = QStringLiteral("message ");
        QStringList messages;
        for (const QString &line : Lines()) {
            if (line.startsWith(prefix))
                messages << QString::fromUtf8(
                    QByteArray::fromPercentEncoding(line.mid(prefix.size()).toLatin1()));
        }
        return messages;
    }

    bool Finish(int expectedExitCode)
    {
        // Waiting in the event loop keeps reading every helper's output, so that none of
        // them blocks on a full pipe.
        return QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, 15000) &&
               process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == expectedExitCode;
    }

    QProcess process;

private:
    QByteArray output;
};

// Hands the primary the message that makes it quit, then waits for it to end.
bool StopPrimary(Helper &primary, const QString &id)
{
    Helper quitter(id, 5000, QStringLiteral("quit"));
    return quitter.Finish(0) && primary.Finish(0);
}

} // namespace

class TestQtSingleApplication : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void handOver_data();
    void handOver();
    void simultaneousStarts();
    void killedPrimaryIsReplaced();
    void stoppedPrimary();
    void hostilePeers_data();
    void hostilePeers();
    void activation_data();
    void activation();
};

void TestQtSingleApplication::handOver_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("received");

    const QString largest(64 * 1024, QLatin1Char('x'));
    const QString tooLarge = largest + QLatin1Char('x');
    // Two bytes each in UTF-8: fewer characters than the limit, more bytes.
    const QString tooManyBytes(32 * 1024 + 1, QChar(0xe9));
    QTest::newRow("empty, as the launcher sends") << QString() << 0 << QStringList{QString()};
    QTest::newRow("text") << QStringLiteral("h\u00e9llo\nw\u00f6rld") << 0
                          << QStringList{QStringLiteral("h\u00e9llo\nw\u00f6rld")};
    QTest::newRow("64 KiB") << largest << 0 << QStringList{largest};
    QTest::newRow("over 64 KiB") << tooLarge << 1 << QStringList();
    QTest::newRow("over 64 KiB of UTF-8") << tooManyBytes << 1 << QStringList();
}

void TestQtSingleApplication::handOver()
{
    QFETCH(QString, message);
    QFETCH(int, exitCode);
    QFETCH(QStringList, received);

    const QString id = RandomId();
    Helper primary(id);
    QVERIFY(!primary.WaitUntilPrimary().isEmpty());

    Helper secondary(id, 5000, message);
    QVERIFY(secondary.Finish(exitCode));
    QVERIFY(secondary.Lines().isEmpty());

    QVERIFY(StopPrimary(primary, id));
    QCOMPARE(primary.Messages(), received << QStringLiteral("quit"));
}

void TestQtSingleApplication::simultaneousStarts()
{
    // Started together, one must win the lock and the other must still reach it, even
    // while the winner is not listening yet.
    for (int round = 0; round < 3; ++round) {
        const QString id = RandomId();
        std::unique_ptr<Helper> a(new Helper(id, 5000, QStringLiteral("a")));
        std::unique_ptr<Helper> b(new Helper(id, 5000, QStringLiteral("b")));
        QTRY_VERIFY_WITH_TIMEOUT(a->process.state() == QProcess::NotRunning ||
                                     b->process.state() == QProcess::NotRunning,
                                 15000);
        if (a->process.state() == QProcess::NotRunning)
            std::swap(a, b);
        QVERIFY(b->Finish(0));
        QVERIFY(!a->WaitUntilPrimary().isEmpty());
        QVERIFY(StopPrimary(*a, id));
        QCOMPARE(a->Messages(),
                 QStringList({b->process.arguments().at(2), QStringLiteral("quit")}));
    }
}

void TestQtSingleApplication::killedPrimaryIsReplaced()
{
    const QString id = RandomId();
    Helper first(id);
    QVERIFY(!first.WaitUntilPrimary().isEmpty());
    first.process.kill();
    QVERIFY(first.process.waitForFinished());

    Helper second(id);
    QVERIFY(!second.WaitUntilPrimary().isEmpty());
    Helper sender(id, 5000, QStringLiteral("after the crash"));
    QVERIFY(sender.Finish(0));
    QVERIFY(StopPrimary(second, id));
    QCOMPARE(second.Messages(),
             QStringList({QStringLiteral("after the crash"), QStringLiteral("quit")}));
}

void TestQtSingleApplication::stoppedPrimary()
{
#ifdef Q_OS_UNIX
    const QString id = RandomId();
    Helper primary(id);
    QVERIFY(!primary.WaitUntilPrimary().isEmpty());
    const auto pid = static_cast<pid_t>(primary.process.processId());
    QCOMPARE(::kill(pid, SIGSTOP), 0);

    Helper secondary(id, 300, QStringLiteral("unanswered"));
    const bool failed = secondary.Finish(1);
    ::kill(pid, SIGCONT);
    QVERIFY(failed);

    // Resumed, it serves again.
    QVERIFY(StopPrimary(primary, id));
    QCOMPARE(primary.Messages().constLast(), QStringLiteral("quit"));
#else
    QSKIP("Stopping a process needs POSIX signals");
#endif
}

void TestQtSingleApplication::hostilePeers_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("delivered");

    QTest::newRow("silent") << QByteArray() << QStringList();
    QTest::newRow("partial length") << QByteArray(2, '\0') << QStringList();
    QTest::newRow("partial message") << Frame("hello").left(6) << QStringList();
    QTest::newRow("length over 64 KiB") << Frame(QByteArray(64 * 1024 + 1, 'x')) << QStringList();
    QTest::newRow("length 0xffffffff") << QByteArray(8, '\xff') << QStringList();
    QTest::newRow("flood") << QByteArray(1024 * 1024, 'g') << QStringList();
    QTest::newRow("not UTF-8") << Frame("\xff\xfe") << QStringList{QString(2, QChar(0xfffd))};
    QTest::newRow("two messages at once")
        << QByteArray(Frame("one") + Frame("two"))
        << QStringList{QStringLiteral("one"), QStringLiteral("two")};
}

void TestQtSingleApplication::hostilePeers()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, delivered);

    const QString id = RandomId();
    Helper primary(id);
    const QString serverName = primary.WaitUntilPrimary();
    QVERIFY(!serverName.isEmpty());

    QLocalSocket hostile;
    QByteArray acks;
    connect(&hostile, &QLocalSocket::readyRead, this, [&] { acks += hostile.readAll(); });
    hostile.connectToServer(serverName);
    QVERIFY(hostile.waitForConnected(5000));
    hostile.write(bytes);
    QTRY_COMPARE(acks.size(), delivered.size());

    // The primary keeps serving while the hostile peer is still around.
    Helper proper(id, 5000, QStringLiteral("proper"));
    QVERIFY(proper.Finish(0));

    // Then it drops the peer that never completes (or never ends) its conversation.
    QTRY_COMPARE_WITH_TIMEOUT(hostile.state(), QLocalSocket::UnconnectedState, 15000);
    QCOMPARE(acks, QByteArray(delivered.size(), Ack));

    QVERIFY(StopPrimary(primary, id));
    QCOMPARE(primary.Messages(), delivered << QStringLiteral("proper") << QStringLiteral("quit"));
}

void TestQtSingleApplication::activation_data()
{
    QTest::addColumn<Qt::WindowStates>("initial");
    QTest::addColumn<bool>("activateOnMessage");
    QTest::addColumn<Qt::WindowStates>("expected");

    QTest::newRow("minimised") << Qt::WindowStates(Qt::WindowMinimized) << true
                               << Qt::WindowStates(Qt::WindowNoState);
    QTest::newRow("minimised from maximised") << (Qt::WindowMinimized | Qt::WindowMaximized) << true
                                              << Qt::WindowStates(Qt::WindowMaximized);
    QTest::newRow("maximised") << Qt::WindowStates(Qt::WindowMaximized) << true
                               << Qt::WindowStates(Qt::WindowMaximized);
    QTest::newRow("not activated on message")
        << Qt::WindowStates(Qt::WindowMinimized) << false << Qt::WindowStates(Qt::WindowMinimized);
}

void TestQtSingleApplication::activation()
{
    QFETCH(Qt::WindowStates, initial);
    QFETCH(bool, activateOnMessage);
    QFETCH(Qt::WindowStates, expected);

    auto *app = qobject_cast<QtSingleApplication *>(QCoreApplication::instance());
    QVERIFY(app);
    QVERIFY(!app->isRunning());

    QWidget other;
    other.show();
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.setWindowState(initial);
    other.activateWindow();
    QTRY_VERIFY(other.isActiveWindow());
    app->setActivationWindow(&window, activateOnMessage);
    QCOMPARE(app->activationWindow(), &window);

    QSignalSpy received(app, &QtSingleApplication::messageReceived);
    QLocalSocket peer;
    peer.connectToServer(app->serverName());
    QVERIFY(peer.waitForConnected(5000));
    peer.write(Frame(QByteArray()));
    QTRY_COMPARE(received.count(), 1);

    QCOMPARE(window.windowState(), expected);
    if (activateOnMessage)
        QTRY_VERIFY(window.isActiveWindow());
    else
        QVERIFY(other.isActiveWindow());
}

int main(int argc, char *argv[])
{
    // Locks and sockets of this run, ours and the helpers', stay in a directory of its own.
    QTemporaryDir tempDir;
    if (!tempDir.isValid())
        return 1;
    qputenv("TMPDIR", QFile::encodeName(tempDir.path()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(tempDir.path()));

    QtSingleApplication app(argc, argv, true, RandomId());
    TestQtSingleApplication test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_qtsingleapplication.moc"
