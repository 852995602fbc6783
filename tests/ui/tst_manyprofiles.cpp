#include "mainwindow.h"
#include "uitestsupport.h"

#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

// The window with many profiles: removing an option that thousands of profiles use asks a
// question that names a screenful of them and counts the rest, and repairs all of them.
class TestManyProfiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dataHome.isValid());
        UseTemporaryDataHome(dataHome);
    }

    void removeUsedByMany_data()
    {
        QTest::addColumn<int>("users");
        QTest::addColumn<QString>("more");
        QTest::newRow("a screenful") << 20 << QString();
        QTest::newRow("one more") << 21 << QStringLiteral("and 1 more\n");
        QTest::newRow("thousands") << 3000 << QStringLiteral("and 2980 more\n");
    }
    void removeUsedByMany()
    {
        QFETCH(int, users);
        QFETCH(QString, more);
        QByteArray config = "$VERSION\t107\n[Profile]\n"
                            "\"Base\"\t\"[Resolution] 0 \"\n";
        QString listed;
        for (int i = 0; i < users; ++i) {
            config += "\"U" + QByteArray::number(i) + "\"\t\"[Resolution] 1 -u\"\n";
            if (i < 20)
                listed += QStringLiteral("U%1\n").arg(i);
        }
        config += "[Resolution]\n\"A\"\t\" -windowsize 1x1\"\n\"B\"\t\" -windowsize 2x2\"\n";
        QVERIFY(WriteUserConfig(config));

        MainWindow window;
        window.Sections().at(ResolutionSection).combo->setCurrentIndex(1);
        QString question;
        AnswerNextModal([&](QWidget *box) {
            question = qobject_cast<QMessageBox *>(box)->text();
            ClickButton(box, QStringLiteral("Yes"));
        });
        window.findChild<QPushButton *>(QStringLiteral("removeResolutionButton"))->click();

        QCOMPARE(question, QStringLiteral("The following profiles use this option, are you sure "
                                          "you want to continue?\n\n") +
                               listed + more);
        QCOMPARE(window.Sections().at(ResolutionSection).entries.size(), 1);
        for (const LaunchProfile &profile : window.Profiles().mid(1)) {
            QCOMPARE(profile.selections.value(0), 0);
            QCOMPARE(profile.arguments, QStringLiteral(" -u  -windowsize 2x2"));
        }
    }

private:
    QTemporaryDir dataHome;
};

QTEST_MAIN(TestManyProfiles)
#include "tst_manyprofiles.moc"
