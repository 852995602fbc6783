#include "emulatorgroup.h"
#include "groupmessage.h"
#include "windowplacement.h"

#include <memory>

#include <QtTest>

// What one emulator accepts from another, where a new window goes, and the group's channel
// with its members in this process.
class TestGroupMessage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        // JSON, with ' for ".
        QTest::addColumn<QByteArray>("payload");
        // The message as it is passed on, or empty when it is refused.
        QTest::addColumn<QByteArray>("accepted");
        const auto row = [](const QByteArray &payload, const QByteArray &accepted,
                            const char *name = nullptr) {
            QTest::newRow(name ? name : payload.constData()) << payload << accepted;
        };
        for (const char *payload :
             {"{'type':'navigate','address':'https://a.b/c?d#e'}",
              "{'type':'open','address':'file:///tmp/a%20b.html'}",
              "{'type':'click','path':'html > body:nth-of-type(1) > my-el > a:nth-of-type(12)',"
              "'address':'https://a.b/c#d'}",
              "{'type':'focus','path':'html > textarea','address':'file:///tmp/a.html'}",
              "{'type':'type','path':'html > "
              "input','address':'https://a.b/','text':'h\\u00e9\\n\\u0000'}",
              "{'type':'type','path':'html > input','address':'https://a.b/','text':''}",
              "{'type':'screenshots','stamp':'20261207-235959'}",
              "{'type':'welcome','position':[-10,20]}",
              "{'type':'hello','size':[300,600],'screen':[0,0,1280,1024]}",
              "{'type':'hello','size':[300,600],'screen':[0,0,9,9],'smaller':[[200,400]]}",
              "{'type':'welcome','position':[0,0],'choice':16}"})
            row(payload, payload);
        // Fields a kind does not have are dropped, fractions clamped.
        row("{'type':'reload','address':'javascript:x','eval':'y'}", "{'type':'reload'}");
        row("{'type':'scroll','fraction':7,'address':'https://a.b/'}",
            "{'type':'scroll','fraction':1,'address':'https://a.b/'}");
        row("{'type':'scroll','fraction':-1e308,'address':'https://a.b/'}",
            "{'type':'scroll','fraction':0,'address':'https://a.b/'}");
        row("{'type':'screenshots','stamp':'20260101-000000','text':'x'}",
            "{'type':'screenshots','stamp':'20260101-000000'}");

        for (const char *payload :
             {"{'type':'navigate','address':'javascript:alert(1)'}",
              "{'type':'navigate','address':'data:text/html,<p>x'}",
              "{'type':'open','address':'custom-app://open'}",
              "{'type':'navigate','address':'http:///no-host'}",
              "{'type':'navigate','address':'file://host/share/a.html'}",
              "{'type':'navigate','address':'https://a.b/ c'}", "{'type':'navigate','address':42}",
              "{'type':'welcome','address':'javascript:x'}",
              "{'type':'scroll','fraction':'0.5','address':'https://a.b/'}",
              "{'type':'scroll','address':'https://a.b/'}",
              // What the user did in a page goes to that page only: it must name it.
              "{'type':'scroll','fraction':0.5}", "{'type':'click','path':'html'}",
              "{'type':'click','path':'html','address':'data:text/html,x'}",
              "{'type':'focus','path':'html > input'}",
              "{'type':'type','path':'html > input','text':'x'}",
              "{'type':'type','path':'html > input','address':'https://a.b/'}",
              "{'type':'type','path':'html > input','address':'https://a.b/','text':5}",
              "{'type':'type','path':'#pw','address':'https://a.b/','text':'x'}",
              "{'type':'screenshots'}", "{'type':'screenshots','stamp':'../../etc'}",
              "{'type':'screenshots','stamp':'20261399-000000'}",
              "{'type':'screenshots','stamp':'"
              "\\u0661\\u0662\\u0660\\u0660\\u0660\\u0660\\u0660\\u0660-000000'}",
              "{'type':'window','frame':[0,0,-5,10]}", "{'type':'window','frame':[0,0,1.5,10]}",
              "{'type':'window','frame':[0,0,10]}",
              "{'type':'hello','size':[1e9,600],'screen':[0,0,1280,1024]}",
              "{'type':'welcome','position':[1]}", "{'type':'welcome','choice':17}",
              "{'type':'welcome','choice':-1}", "{'type':'welcome','choice':0.5}",
              "{'type':'hello','size':[3,6],'screen':[0,0,9,9],'smaller':[[0,4]]}",
              "{'type':'hello','size':[3,6],'screen':[0,0,9,9],'smaller':[2,4]}",
              "{'type':'shutdown'}", "['navigate']", "{'type':'reload'", ""})
            row(payload, "");
        // A path is tags, " > " and :nth-of-type(n) from html down, and nothing else.
        for (const char *path :
             {"body; alert(1)", "a[href^=x]", "#id", "html >  body", "a:nth-of-type(0)", "A", ""})
            row("{'type':'click','address':'https://a.b/','path':'" + QByteArray(path) + "'}", "");
        const QByteArray longAddress = QByteArray(GroupLimits::MaxAddressLength, 'x');
        row("{'type':'navigate','address':'https://a.b/" + longAddress + "'}", "", "long address");
        const QStringList many(GroupLimits::MaxSmallerSizes + 1, "[1,1]");
        row("{'type':'hello','size':[3,6],'screen':[0,0,9,9],'smaller':[" +
                many.join(',').toUtf8() + "]}",
            "", "too many sizes");
        const QStringList deep(GroupLimits::MaxPathDepth + 1, "div");
        row("{'type':'click','address':'https://a.b/','path':'" + deep.join(" > ").toUtf8() + "'}",
            "", "deep path");
        const QByteArray typed = "{'type':'type','path':'html','address':'https://a.b/','text':'";
        const QByteArray longest = typed + QByteArray(GroupLimits::MaxTextLength, 'x') + "'}";
        row(longest, longest, "longest text");
        row(typed + QByteArray(GroupLimits::MaxTextLength + 1, 'x') + "'}", "", "long text");
    }

    void parse()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, accepted);
        payload.replace('\'', '"');
        accepted.replace('\'', '"');
        const std::optional<GroupMessage> message = ParseGroupMessage(payload);
        QCOMPARE(message.has_value(), !accepted.isEmpty());
        // Compared as documents: the order of the fields is free.
        if (message)
            QCOMPARE(QJsonDocument::fromJson(EncodeGroupMessage(*message)),
                     QJsonDocument::fromJson(accepted));
    }

    void place_data()
    {
        QTest::addColumn<QList<QRect>>("existing"); // other emulators and the launcher
        QTest::addColumn<QList<QSize>>("sizes");    // at the zoom asked for, then lower ones
        QTest::addColumn<QPoint>("expected");
        QTest::addColumn<int>("choice");
        const auto row = [](const char *name, const QList<QRect> &existing,
                            const QList<QSize> &sizes, QPoint expected, int choice = 0) {
            QTest::newRow(name) << existing << sizes << expected << choice;
        };
        const QList<QSize> phone{{400, 500}};
        row("first", {}, phone, {0, 20});
        row("beside", {{0, 20, 400, 500}}, phone, {410, 20});
        row("into a gap", {{0, 20, 400, 500}, {820, 20, 400, 500}}, phone, {410, 20});
        row("next row under the shortest",
            {{0, 20, 400, 500}, {410, 20, 400, 300}, {820, 20, 400, 500}}, {{400, 400}},
            {410, 330});
        row("new row", {{0, 20, 600, 500}, {610, 20, 600, 500}}, {{400, 400}}, {0, 530});
        // The launcher in the middle of the screen: left of it, then right of it.
        row("left of the launcher", {{420, 20, 400, 700}}, phone, {0, 20});
        row("right of the launcher", {{420, 20, 400, 700}, {0, 20, 400, 500}}, phone, {830, 20});
        // The largest that has a free place, at its zoom; not the smallest.
        row("zoomed out to fit", {{0, 20, 800, 1004}}, {{500, 900}, {450, 800}, {300, 500}},
            {810, 20}, 1);
        // At the lowest zoom nothing fits: the smallest goes where it covers least, off the
        // corner of the window filling the screen and off the other one.
        row("bound, then cascade", {{0, 20, 1280, 1004}}, {{400, 500}, {200, 250}}, {32, 20}, 1);
        row("never exactly onto another", {{0, 20, 1280, 1004}, {32, 20, 400, 500}}, phone,
            {448, 20});
        row("larger than the screen", {{0, 20, 400, 500}}, {{2000, 2000}}, {0, 20});
    }

    void place()
    {
        QFETCH(QList<QRect>, existing);
        QFETCH(QList<QSize>, sizes);
        const QRect screen(0, 20, 1280, 1004);
        const Placement placed = PlaceWindow(existing, sizes, screen, 10);
        QTEST(placed.position, "expected");
        QTEST(placed.choice, "choice");
        // The same frames, in any order, give the same place.
        std::reverse(existing.begin(), existing.end());
        QCOMPARE(PlaceWindow(existing, sizes, screen, 10).position, placed.position);
    }

    // Windows starting one after another get places of their own and the group's address; the
    // third finds no room, and the owner's and the other member's windows zoom out with it.
    // What one member says reaches all the others, never itself; when the owner goes, the
    // others carry on.
    void channel()
    {
        QTemporaryDir dir;
        const LocalChannel::Place place(dir.path(), QStringLiteral("group"));
        const QRect screen(0, 0, 900, 800);
        const QList<QSize> sizes{{400, 700}, {200, 350}}; // at the zoom asked for, zoomed out
        const int gap = EmulatorGroup::WindowGap;
        const QPoint joined[] = {{0, 0}, {400 + gap, 0}, {2 * (200 + gap), 0}};
        const QUrl address(QStringLiteral("https://example.org/"));
        std::unique_ptr<EmulatorGroup> members[3];
        std::unique_ptr<QSignalSpy> spies[3], moved[3];
        for (int i = 0; i < 3; ++i) {
            members[i] = std::make_unique<EmulatorGroup>(place);
            moved[i] = std::make_unique<QSignalSpy>(members[i].get(), &EmulatorGroup::arranged);
            const GroupMessage welcome = members[i]->Join(sizes, screen);
            QCOMPARE(welcome.position, joined[i]);
            QCOMPARE(welcome.choice, i == 2 ? 1 : 0); // the third zoomed out
            QCOMPARE(welcome.address, i == 0 ? QUrl() : address);
            if (i == 0)
                members[0]->Publish(GroupMessage::Navigation(GroupMessage::Address, address));
            spies[i] = std::make_unique<QSignalSpy>(members[i].get(), &EmulatorGroup::received);
        }
        QTRY_COMPARE(moved[1]->size(), 1);
        QCOMPARE(moved[1]->at(0).at(0).value<GroupMessage>().position, QPoint(200 + gap, 0));
        QCOMPARE(moved[1]->at(0).at(0).value<GroupMessage>().choice, 1);
        QCOMPARE(moved[0]->size(), 1);
        QCOMPARE(moved[0]->at(0).at(0).value<GroupMessage>().position, QPoint(0, 0));
        QVERIFY(members[0]->IsOwner());

        members[1]->Publish(GroupMessage::ScrollTo(0.5, address));
        QTRY_COMPARE(spies[0]->size(), 1);
        QTRY_COMPARE(spies[2]->size(), 1);
        QCOMPARE(spies[2]->at(0).at(0).value<GroupMessage>().fraction, 0.5);
        members[0]->Publish(GroupMessage::Of(GroupMessage::Reload));
        QTRY_COMPARE(spies[1]->size(), 1);
        QTRY_COMPARE(spies[2]->size(), 2);
        QCOMPARE(spies[0]->size(), 1);

        members[0].reset();
        QTRY_VERIFY(members[1]->IsOwner() != members[2]->IsOwner());
        QTRY_VERIFY(members[1]->IsJoined() && members[2]->IsJoined());
        members[2]->Publish(
            GroupMessage::OnElement(GroupMessage::Click, QStringLiteral("html"), address));
        QTRY_COMPARE(spies[1]->size(), 2);
        QCOMPARE(spies[1]->last().at(0).value<GroupMessage>().path, QStringLiteral("html"));
    }
};

QTEST_GUILESS_MAIN(TestGroupMessage)
#include "tst_groupmessage.moc"
