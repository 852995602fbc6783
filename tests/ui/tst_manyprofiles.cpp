#include "mainwindow.h"
#include "profileqlistwidget.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

// The window with many profiles: the profile list still prefers the width of its widest
// name, and removing an option that thousands of profiles use asks a question that names a
// screenful of them and counts the rest, and repairs all of them.
class TestManyProfiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dataHome.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    }

    void profileListWidth_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("widestRow");
        QTest::addColumn<QString>("widest");
        QTest::newRow("few rows") << 12 << 5 << QStringLiteral("Wide WWWWWWWWWWWW");
        QTest::newRow("many, wide letters") << 5000 << 4321 << QStringLiteral("MMMMMMMMMMMMMMM");
        QTest::newRow("many, last row") << 5000 << 4999 << QStringLiteral("Profile 4999 (wide)");
    }
    void profileListWidth()
    {
        QFETCH(int, rows);
        QFETCH(int, widestRow);
        QFETCH(QString, widest);
        ProfileQListWidget list;
        for (int i = 0; i < rows; ++i)
            list.addItem(i == widestRow ? widest : QStringLiteral("Profile %1 iiiii").arg(i));
        const QScrollBar *bar = list.verticalScrollBar();
        QStyleOptionSlider option;
        const int barExtent = bar->style()->pixelMetric(QStyle::PM_ScrollBarExtent, &option, bar);
        QCOMPARE(list.sizeHint(), QSize(list.sizeHintForColumn(0) + barExtent + 5, 192));
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
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            QStringLiteral("/Velmora/VelmoraMobileEmulator");
        QFile file(dir + QStringLiteral("/Launcher.ini"));
        QVERIFY(QDir().mkpath(dir) && file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(config), config.size());
        file.close();

        MainWindow window;
        window.Sections().at(ResolutionSection).combo->setCurrentIndex(1);
        // Answers the question once it shows, as a user would.
        QString question;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                answer.stop();
                question = box->text();
                box->button(QMessageBox::Yes)->click();
            }
        });
        answer.start(5);
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
