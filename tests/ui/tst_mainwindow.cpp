#include "mainwindow.h"
#include "profileqlistwidget.h"
#include "uitestsupport.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include <memory>

namespace {

const QByteArray Fixture = "$VERSION\t107\n"
                           "[Profile]\n"
                           "\"Base\"\t\"[Resolution] 2 [PixelDensity] 1 [Input] 0 "
                           "[UserAgentString] 1 -first arg\"\n"
                           "\"Phone\"\t\"[Resolution] 0 [PixelDensity] 0 [Input] 1 "
                           "[UserAgentString] 0 \"\n"
                           "\"Broken\"\t\"[Resolution] 7 [PixelDensity] 0 [Input] 0 "
                           "[UserAgentString] 0 \"\n"
                           "[Resolution]\n"
                           "\"480x800\"\t\" -windowsize 480x800\"\n"
                           "\"720x1280\"\t\" -windowsize 720x1280\"\n"
                           "\"1080x2400\"\t\" -windowsize 1080x2400\"\n"
                           "[PixelDensity]\n"
                           "\"160\"\t\" -ppi 160\"\n"
                           "\"240\"\t\" -ppi 240\"\n"
                           "[Input]\n"
                           "\"Touch\"\t\" -input touch\"\n"
                           "\"Keys\"\t\" -input keys\"\n"
                           "[UserAgentString]\n"
                           "\"None\"\t\"\"\n"
                           "\"Chrome\"\t\" -user-agent \"Mozilla/5.0 (Linux) Mobile\"\"\n";

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void initialState();
    void labelsInOrder();
    void addUpdateFollowsWidgets_data();
    void addUpdateFollowsWidgets();
    void selectionBeyondSection();
    void optionRemoveButtonsFollowLists();
    void profileListSizeHint();
    void closingWritesConfig();
    void unreadableUserFileIsKept();

private:
    template <typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QComboBox *combo(int section) const { return window->Sections().at(section).combo; }

    QTemporaryDir dataHome;
    std::unique_ptr<MainWindow> window;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(dataHome.isValid());
    UseTemporaryDataHome(dataHome);
}

void TestMainWindow::init()
{
    QVERIFY(WriteUserConfig(Fixture));
    window = std::make_unique<MainWindow>();
}

void TestMainWindow::cleanup()
{
    window.reset();
    QFile::remove(UserConfigPath());
}

void TestMainWindow::initialState()
{
    auto *list = child<ProfileQListWidget>("profileList");
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(list->item(1)->text(), QStringLiteral("Phone"));

    QCOMPARE(combo(ResolutionSection)->currentIndex(), 2);
    QCOMPARE(combo(ResolutionSection)->currentText(), QStringLiteral("1080x2400"));
    QCOMPARE(combo(PixelDensitySection)->currentIndex(), 1);
    QCOMPARE(combo(InputSection)->currentIndex(), 0);
    QCOMPARE(combo(UserAgentSection)->currentIndex(), 1);
    QCOMPARE(child<QLineEdit>("argumentsEdit")->text(), QStringLiteral(" -first arg"));

    // The option Remove buttons start disabled even though the lists are not at entry 0.
    QVERIFY(!child<QPushButton>("removeResolutionButton")->isEnabled());
    QVERIFY(!child<QPushButton>("removePixelDensityButton")->isEnabled());
    QVERIFY(!child<QPushButton>("removeProfileButton")->isEnabled());
    auto *addUpdate = child<QPushButton>("addUpdateButton");
    QCOMPARE(addUpdate->text(), QStringLiteral("Add"));
    QVERIFY(!addUpdate->isEnabled());
    QCOMPARE(window->windowTitle(), QStringLiteral("Velmora Mobile Emulator"));
}

void TestMainWindow::labelsInOrder()
{
    auto *form = window->findChild<QFormLayout *>();
    QVERIFY(form);
    QStringList labels;
    for (int row = 0; row < form->rowCount(); ++row) {
        auto *label = qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget());
        labels << label->text();
    }
    QCOMPARE(labels, QStringList({QStringLiteral("Resolution"), QStringLiteral("Pixel Density"),
                                  QStringLiteral("Input"), QStringLiteral("User Agent String"),
                                  QStringLiteral("&Arguments")}));
    // Alt+A reaches the Arguments field through the label's buddy.
    auto *argumentsLabel =
        qobject_cast<QLabel *>(form->itemAt(4, QFormLayout::LabelRole)->widget());
    QCOMPARE(argumentsLabel->buddy(), child<QLineEdit>("argumentsEdit"));
}

void TestMainWindow::addUpdateFollowsWidgets_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("resolution"); // -1 leaves the list alone
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("first row unchanged") << 0 << -1 << " -first arg"
                                         << "Add" << false;
    QTest::newRow("first row other list entry") << 0 << 0 << " -first arg"
                                                << "Add" << true;
    QTest::newRow("first row list changed back") << 0 << 2 << " -first arg"
                                                 << "Add" << false;
    QTest::newRow("outer blanks ignored") << 0 << -1 << "   -first arg  "
                                          << "Add" << false;
    QTest::newRow("inner blank counts") << 0 << -1 << " -first  arg"
                                        << "Add" << true;
    QTest::newRow("later row unchanged") << 1 << -1 << ""
                                         << "Update" << false;
    QTest::newRow("later row new text") << 1 << -1 << "-x"
                                        << "Update" << true;
    QTest::newRow("later row whitespace only") << 1 << -1 << " \t "
                                               << "Update" << false;
}

void TestMainWindow::addUpdateFollowsWidgets()
{
    QFETCH(int, row);
    QFETCH(int, resolution);
    QFETCH(QString, arguments);

    child<ProfileQListWidget>("profileList")->setCurrentRow(row);
    if (resolution >= 0) {
        combo(ResolutionSection)->setCurrentIndex(0);
        combo(ResolutionSection)->setCurrentIndex(resolution);
    }
    child<QLineEdit>("argumentsEdit")->setText(arguments);

    auto *addUpdate = child<QPushButton>("addUpdateButton");
    QTEST(addUpdate->text(), "caption");
    QTEST(addUpdate->isEnabled(), "enabled");
    QCOMPARE(child<QPushButton>("removeProfileButton")->isEnabled(), row != 0);
}

void TestMainWindow::selectionBeyondSection()
{
    auto *list = child<ProfileQListWidget>("profileList");
    QSignalSpy spy(list, &QListWidget::currentRowChanged);
    list->setCurrentRow(2);
    QCOMPARE(spy.count(), 1);

    QCOMPARE(combo(ResolutionSection)->currentIndex(), -1);
    QVERIFY(window->GetCurrentArguments().startsWith(QStringLiteral("[Resolution] -1 ")));
    QVERIFY(child<QPushButton>("addUpdateButton")->isEnabled());
    // The stored number is kept as it was until the profile is updated.
    QCOMPARE(window->Profiles().at(2).selections.at(0), 7);
}

void TestMainWindow::optionRemoveButtonsFollowLists()
{
    auto *removeResolution = child<QPushButton>("removeResolutionButton");
    auto *removeDensity = child<QPushButton>("removePixelDensityButton");
    combo(ResolutionSection)->setCurrentIndex(1);
    QVERIFY(removeResolution->isEnabled());
    QVERIFY(!removeDensity->isEnabled());
    combo(ResolutionSection)->setCurrentIndex(0);
    QVERIFY(!removeResolution->isEnabled());
    combo(PixelDensitySection)->setCurrentIndex(0);
    combo(PixelDensitySection)->setCurrentIndex(1);
    QVERIFY(removeDensity->isEnabled());
}

void TestMainWindow::profileListSizeHint()
{
    auto *list = child<ProfileQListWidget>("profileList");
    const QSize before = list->sizeHint();
    QCOMPARE(before.height(), 192);
    QVERIFY(before.width() > list->sizeHintForColumn(0));

    const QString longName(80, QLatin1Char('W'));
    list->item(1)->setText(longName);
    const QSize after = list->sizeHint();
    QCOMPARE(after.height(), 192);
    const int barExtent = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QVERIFY(after.width() >= list->fontMetrics().horizontalAdvance(longName) + barExtent + 5);
    QVERIFY(after.width() > before.width());
}

void TestMainWindow::closingWritesConfig()
{
    child<ProfileQListWidget>("profileList")->setCurrentRow(1);
    child<QLineEdit>("argumentsEdit")->setText(QStringLiteral("-new  text "));
    window->OnAddUpdateProfile();
    window.reset();

    const QByteArray written = ReadUserConfig();
    QVERIFY(written.startsWith("# A configuration out for the Velmora Mobile Launcher.\n"));
    QVERIFY(written.contains("\n$VERSION\t107\n"));
    QVERIFY(written.contains("\"Phone\"\t\"[Resolution] 0 [PixelDensity] 0 [Input] 1 "
                             "[UserAgentString] 0 -new  text\"\n"));
    QVERIFY(written.contains("\"Chrome\"\t\" -user-agent \"Mozilla/5.0 (Linux) Mobile\"\"\n"));

    // A second window reads back what the first wrote.
    window = std::make_unique<MainWindow>();
    QCOMPARE(window->Profiles().size(), 3);
    QCOMPARE(window->Profiles().at(1).arguments, QStringLiteral(" -new text"));
    QCOMPARE(window->Sections().at(UserAgentSection).entries.at(1).value,
             QStringLiteral(" -user-agent \"Mozilla/5.0 (Linux) Mobile\""));
}

void TestMainWindow::unreadableUserFileIsKept()
{
#ifdef Q_OS_UNIX
    // A directory where the file should be cannot be read as a file, even by root.
    window.reset();
    QFile::remove(UserConfigPath());
    QVERIFY(QDir().mkpath(UserConfigPath()));
    const QString defaultPath =
        QCoreApplication::applicationDirPath() + QStringLiteral("/LauncherDefault.ini");
    QFile::remove(defaultPath);
    QVERIFY(QFile::copy(QStringLiteral(VELMORA_BIN_DIR "/LauncherDefault.ini"), defaultPath));

    QString warning;
    AnswerNextModal([&warning](QWidget *box) {
        warning = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->text();
        ClickButton(box, QStringLiteral("OK"));
    });
    window = std::make_unique<MainWindow>();
    QVERIFY(warning.contains(QStringLiteral("cannot be read")));
    QVERIFY(window->Profiles().size() >= 2);
    QVERIFY(!window->SaveConfig());
    window.reset();
    QVERIFY(QFileInfo(UserConfigPath()).isDir());
    QVERIFY(QDir().rmdir(UserConfigPath()));
    QFile::remove(defaultPath);
#else
    QSKIP("needs a file system where a directory can stand in for the file");
#endif
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
