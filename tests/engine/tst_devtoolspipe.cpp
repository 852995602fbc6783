#include "engine/devtoolspipe.h"

#include <QtTest>

#include <sys/socket.h>
#include <unistd.h>

// The pipe against a fake browser on a socket pair: framing, replies, refusals, deadlines,
// events by session, and the browser going away.
class TestDevToolsPipe : public QObject
{
    Q_OBJECT

    int browser = -1; // the fake browser's end
    DevToolsPipe *pipe = nullptr;

    QList<QJsonObject> messages;

    // Everything the browser was sent so far, split on NUL.
    QList<QJsonObject> Received()
    {
        QByteArray all;
        char chunk[4096];
        for (ssize_t n; (n = ::recv(browser, chunk, sizeof chunk, MSG_DONTWAIT)) > 0;)
            all.append(chunk, n);
        for (const QByteArray &text : all.split('\0'))
            if (!text.isEmpty())
                messages.append(QJsonDocument::fromJson(text).object());
        return messages;
    }

    void Write(const QByteArray &bytes)
    {
        QVERIFY(::write(browser, bytes.data(), bytes.size()) > 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        int ends[2];
        QVERIFY(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) == 0);
        browser = ends[0];
        pipe = new DevToolsPipe(ends[1], ::dup(ends[1]), this);
    }

    void repliesEventsDeadlinesAndEnd()
    {
        QList<DevToolsReply> replies;
        bool withinCall = true;
        const auto keep = [&](const DevToolsReply &reply) {
            QVERIFY(!withinCall);
            replies.append(reply);
        };
        pipe->Send("A.one", {{"x", 1}}, {}, keep);
        pipe->Send("A.two", {}, "S1", keep);
        pipe->Send("A.late", {}, {}, keep, 100);
        withinCall = false;
        QTRY_COMPARE(Received().size(), 3);
        QCOMPARE(messages[1].value("sessionId").toString(), "S1");
        QCOMPARE(messages[0].value("params").toObject().value("x").toInt(), 1);

        QSignalSpy events(pipe, &DevToolsPipe::event);
        // Two replies and an event, cut in the middle of a message, a malformed one between.
        Write(R"({"id":2,"error":{"message":"no such method"}})" + QByteArray(1, '\0') +
              "not json" + QByteArray(1, '\0') + R"({"id":1,"result":{"v":)");
        Write(R"(7}})" + QByteArray(1, '\0') +
              R"({"method":"E.happened","params":{"p":1},"sessionId":"S1"})" + QByteArray(1, '\0'));
        QTRY_COMPARE(replies.size(), 2);
        QCOMPARE(replies[0].error, "no such method");
        QVERIFY(replies[1].ok());
        QCOMPARE(replies[1].result.value("v").toInt(), 7);
        QTRY_COMPARE(events.size(), 1);
        QCOMPARE(events[0][0].toString(), "E.happened");
        QCOMPARE(events[0][2].toString(), "S1");

        // Unanswered after its deadline, and once only, though the reply comes after all.
        QTRY_COMPARE(replies.size(), 3);
        QVERIFY(!replies[2].answered);
        Write(R"({"id":3,"result":{}})" + QByteArray(1, '\0'));
        QTest::qWait(50);
        QCOMPARE(replies.size(), 3);

        // The browser goes: what waits is unanswered, and later commands are too, from the
        // event loop.
        QSignalSpy closed(pipe, &DevToolsPipe::closed);
        pipe->Send("A.waits", {}, {}, keep);
        QTRY_COMPARE(Received().size(), 4);
        ::shutdown(browser, SHUT_RDWR);
        QTRY_COMPARE(closed.size(), 1);
        QCOMPARE(replies.size(), 4);
        QVERIFY(!replies[3].answered);
        pipe->Send("A.after", {}, {}, keep);
        QCOMPARE(replies.size(), 4);
        QTRY_COMPARE(replies.size(), 5);
        QVERIFY(!pipe->isOpen());
    }
};

QTEST_GUILESS_MAIN(TestDevToolsPipe)
#include "tst_devtoolspipe.moc"
