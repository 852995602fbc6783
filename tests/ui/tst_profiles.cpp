#include "arguments.h"
#include "mainwindow.h"
#include "profileqlistwidget.h"
#include "uitestsupport.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

const QByteArray Fixture = "$VERSION\t107\n"
                           "[Profile]\n"
                           "\"Base\"\t\"[Resolution] 1 [PixelDensity] 0 [Input] 0 "
                           "[UserAgentString] 0 \"\n"
                           "\"Phone\"\t\"[Resolution] 0 [PixelDensity] 1 [Input] 1 "
                           "[UserAgentString] 1 -a\"\n"
                           "\"Tablet Large\"\t\"[Resolution] 2 [PixelDensity] 1 [Input] 0 "
                           "[UserAgentString] 0 \"\n"
                           "\"Lost\"\t\"[Resolution] 9 [PixelDensity] 0 [Input] 0 "
                           "[UserAgentString] 0 \"\n"
                           "[Resolution]\n"
                           "\"480x800\"\t\" -windowsize 480x800\"\n"
                           "\"720x1280\"\t\" -windowsize 720x1280\"\n"
                           "\"1600x2560\"\t\" -windowsize 1600x2560\"\n"
                           "[PixelDensity]\n"
                           "\"160\"\t\" -ppi 160\"\n"
                           "\"320\"\t\" -ppi 320\"\n"
                           "[Input]\n"
                           "\"Touch\"\t\" -input touch\"\n"
                           "\"Keys\"\t\" -input keys\"\n"
                           "[UserAgentString]\n"
                           "\"None\"\t\"\"\n"
                           "\"Chrome\"\t\" -user-agent \"Mozilla/5.0 (Linux) Mobile\"\"\n";

std::function<void(QWidget *)> EnterName(const QString &name)
{
    return [name](QWidget *dialog) {
        dialog->findChild<QLineEdit *>()->setText(name);
        ClickButton(dialog, QStringLiteral("OK"));
    };
}

std::function<void(QWidget *)> Press(const QString &button, QString *text = nullptr)
{
    return [button, text](QWidget *dialog) {
        if (text)
            *text = dialog->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->text();
        ClickButton(dialog, button);
    };
}

} // namespace

class TestProfiles : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void openUrl(const QUrl &url) { openedUrls << url; }

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void addNewProfile();
    void addExistingProfile();
    void addFirstProfileName();
    void addChangesNothing_data();
    void addChangesNothing();
    void updateLaterRow();
    void removeProfile();
    void launch_data();
    void launch();
    void launchTwiceStartsTwo();
    void launchWithoutEmulator();
    void help();
    void changesSurviveRestart();

private:
    template <typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QComboBox *combo(int section) const { return window->Sections().at(section).combo; }
    ProfileQListWidget *list() const { return child<ProfileQListWidget>("profileList"); }
    QPushButton *addUpdate() const { return child<QPushButton>("addUpdateButton"); }
    QStringList profileNames() const { return ProfileNames(window->Profiles()); }
    QStringList waitForLaunches(int count);

    QTemporaryDir dataHome;
    QTemporaryDir recordDir;
    QList<QUrl> openedUrls;
    std::unique_ptr<MainWindow> window;
};

void TestProfiles::initTestCase()
{
    QVERIFY(dataHome.isValid());
    QVERIFY(recordDir.isValid());
    UseTemporaryDataHome(dataHome);
    qputenv("VELMORA_RECORD_DIR", QFile::encodeName(recordDir.path()));
}

void TestProfiles::init()
{
    QVERIFY(WriteUserConfig(Fixture));
    window = std::make_unique<MainWindow>();
}

void TestProfiles::cleanup()
{
    QVERIFY(!QApplication::activeModalWidget());
    window.reset();
    QFile::remove(UserConfigPath());
    const auto records = QDir(recordDir.path()).entryList(QDir::Files);
    for (const QString &record : records)
        QFile::remove(recordDir.filePath(record));
}

void TestProfiles::addNewProfile()
{
    combo(InputSection)->setCurrentIndex(1);
    child<QLineEdit>("argumentsEdit")->setText(QStringLiteral(" -b "));
    const QString stateBefore = window->GetCurrentArguments();

    // Names differ by letter case only: no question, a profile of its own.
    AnswerNextModal(EnterName(QStringLiteral("phone")));
    window->OnAddUpdateProfile();

    QCOMPARE(profileNames(), QStringList({"Base", "Phone", "Tablet Large", "Lost", "phone"}));
    QCOMPARE(list()->count(), 5);
    QCOMPARE(list()->currentRow(), 4);
    QCOMPARE(list()->currentItem()->text(), QStringLiteral("phone"));
    QCOMPARE(addUpdate()->text(), QStringLiteral("Update"));
    QVERIFY(!addUpdate()->isEnabled());
    QCOMPARE(window->GetCurrentArguments(), stateBefore);
    QCOMPARE(window->Profiles().at(4).arguments, QStringLiteral(" -b "));
    QCOMPARE(window->Profiles().at(4).selections, QList<int>({1, 0, 1, 0}));
}

void TestProfiles::addExistingProfile()
{
    combo(PixelDensitySection)->setCurrentIndex(1);

    // Declining the replacement asks for a name again; the second answer replaces.
    QString question;
    AnswerModals({EnterName(QStringLiteral("Tablet Large")), Press(QStringLiteral("Cancel")),
                  EnterName(QStringLiteral("Tablet Large")),
                  Press(QStringLiteral("OK"), &question)});
    window->OnAddUpdateProfile();

    QCOMPARE(question, QStringLiteral("This profile already exists. Do you want to replace it?"));
    QCOMPARE(list()->count(), 4);
    QCOMPARE(list()->currentRow(), 2);
    QCOMPARE(window->Profiles().at(2).selections, QList<int>({1, 1, 0, 0}));
    QCOMPARE(combo(ResolutionSection)->currentIndex(), 1);
    QVERIFY(!addUpdate()->isEnabled());
}

void TestProfiles::addFirstProfileName()
{
    child<QLineEdit>("argumentsEdit")->setText(QStringLiteral("-z"));
    QVERIFY(addUpdate()->isEnabled());

    AnswerModals({EnterName(QStringLiteral("Base")), Press(QStringLiteral("OK"))});
    window->OnAddUpdateProfile();

    QCOMPARE(window->Profiles().at(0).arguments, QStringLiteral("-z"));
    QCOMPARE(list()->currentRow(), 0);
    QCOMPARE(list()->count(), 4);
    // No row change follows, so the button keeps its state until the next change.
    QCOMPARE(addUpdate()->text(), QStringLiteral("Add"));
    QVERIFY(addUpdate()->isEnabled());
}

void TestProfiles::addChangesNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("quoteWarning");

    QTest::newRow("cancel") << QString() << false;
    QTest::newRow("empty name") << QString() << false;
    QTest::newRow("double quote refused") << QStringLiteral("Big \"phone\"") << true;
}

void TestProfiles::addChangesNothing()
{
    QFETCH(QString, name);
    QFETCH(bool, quoteWarning);

    QString warning;
    if (quoteWarning) {
        AnswerModals({EnterName(name), Press(QStringLiteral("OK"), &warning),
                      Press(QStringLiteral("Cancel"))});
    } else if (QTest::currentDataTag() == QLatin1String("cancel")) {
        AnswerNextModal(Press(QStringLiteral("Cancel")));
    } else {
        AnswerNextModal(EnterName(name));
    }
    window->OnAddUpdateProfile();

    if (quoteWarning)
        QCOMPARE(warning, QStringLiteral("A profile name cannot contain a double quote."));
    QCOMPARE(profileNames(), QStringList({"Base", "Phone", "Tablet Large", "Lost"}));
    QCOMPARE(list()->count(), 4);
    QCOMPARE(list()->currentRow(), 0);
}

void TestProfiles::updateLaterRow()
{
    list()->setCurrentRow(2);
    combo(UserAgentSection)->setCurrentIndex(1);
    child<QLineEdit>("argumentsEdit")->setText(QStringLiteral("  -x  "));
    QCOMPARE(addUpdate()->text(), QStringLiteral("Update"));
    QVERIFY(addUpdate()->isEnabled());

    addUpdate()->click();

    const LaunchProfile &profile = window->Profiles().at(2);
    QCOMPARE(profile.name, QStringLiteral("Tablet Large"));
    QCOMPARE(profile.selections, QList<int>({2, 1, 0, 1}));
    QCOMPARE(profile.arguments, QStringLiteral("  -x  "));
    QCOMPARE(list()->currentRow(), 2);
    QCOMPARE(list()->item(2)->text(), QStringLiteral("Tablet Large"));
    QVERIFY(!addUpdate()->isEnabled());
    QCOMPARE(window->GetCurrentArguments(), window->GetProfileArguments(profile));
}

void TestProfiles::removeProfile()
{
    auto *remove = child<QPushButton>("removeProfileButton");
    QVERIFY(!remove->isEnabled());

    list()->setCurrentRow(3);
    QVERIFY(remove->isEnabled());
    AnswerNextModal(Press(QStringLiteral("Cancel")));
    remove->click();
    QCOMPARE(list()->count(), 4);
    QCOMPARE(list()->currentRow(), 3);

    list()->setCurrentRow(1);
    QString question;
    AnswerNextModal(Press(QStringLiteral("OK"), &question));
    remove->click();
    QCOMPARE(question, QStringLiteral("Are you sure you want to remove this profile?\n\nPhone"));
    QCOMPARE(profileNames(), QStringList({"Base", "Tablet Large", "Lost"}));
    QCOMPARE(list()->count(), 3);
    QCOMPARE(list()->item(1)->text(), QStringLiteral("Tablet Large"));
    QCOMPARE(list()->currentRow(), 0);
    QVERIFY(!remove->isEnabled());
    QCOMPARE(combo(ResolutionSection)->currentIndex(), 1);
}

QStringList TestProfiles::waitForLaunches(int count)
{
    QDir dir(recordDir.path());
    QStringList lines;
    const bool done = QTest::qWaitFor([&] {
        const auto records = dir.entryList({QStringLiteral("*.args")}, QDir::Files);
        if (records.size() < count)
            return false;
        lines.clear();
        for (const QString &record : records) {
            QFile file(dir.filePath(record));
            if (!file.open(QIODevice::ReadOnly))
                return false;
            lines += QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        }
        return true;
    });
    return done ? lines : QStringList({QStringLiteral("<no launch recorded>")});
}

void TestProfiles::launch_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("density"); // -1 keeps the profile's
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QStringList>("expected");

    const QString name = QStringLiteral("-profile-name");
    QTest::newRow("first profile") << 0 << -1 << QString()
                                   << QStringList({"-windowsize", "720x1280", "-ppi", "160",
                                                   "-input", "touch", name, "Base", ""});
    QTest::newRow("quoted user agent and free text")
        << 1 << -1 << QStringLiteral(" -a ")
        << QStringList({"-windowsize", "480x800", "-ppi", "320", "-input", "keys", "-user-agent",
                        "Mozilla/5.0 (Linux) Mobile", name, "Phone", "-a", ""});
    QTest::newRow("name with a blank")
        << 2 << -1 << QString()
        << QStringList({"-windowsize", "1600x2560", "-ppi", "320", "-input", "touch", name,
                        "Tablet Large", ""});
    QTest::newRow("list without current item")
        << 3 << -1 << QString()
        << QStringList({"-ppi", "160", "-input", "touch", name, "Lost", ""});
    QTest::newRow("quoted free text")
        << 0 << -1 << QStringLiteral("-url \"a b\"  -x")
        << QStringList({"-windowsize", "720x1280", "-ppi", "160", "-input", "touch", name, "Base",
                        "-url", "a b", "-x", ""});
    QTest::newRow("changed, not updated")
        << 2 << 0 << QString()
        << QStringList({"-windowsize", "1600x2560", "-ppi", "160", "-input", "touch", name,
                        "Tablet Large", ""});
}

void TestProfiles::launch()
{
    QFETCH(int, row);
    QFETCH(int, density);
    QFETCH(QString, arguments);

    list()->setCurrentRow(row);
    if (density >= 0)
        combo(PixelDensitySection)->setCurrentIndex(density);
    if (!arguments.isNull())
        child<QLineEdit>("argumentsEdit")->setText(arguments);
    const QList<LaunchProfile> storedBefore = window->Profiles();

    child<QPushButton>("launchButton")->click();

    QTEST(waitForLaunches(1), "expected");
    QCOMPARE(window->Profiles().at(row).selections, storedBefore.at(row).selections);
    QCOMPARE(window->Profiles().at(row).arguments, storedBefore.at(row).arguments);
}

void TestProfiles::launchTwiceStartsTwo()
{
    child<QPushButton>("launchButton")->click();
    child<QPushButton>("launchButton")->click();
    const QStringList lines = waitForLaunches(2);
    QCOMPARE(lines.count(QStringLiteral("Base")), 2);
}

void TestProfiles::launchWithoutEmulator()
{
    const QString emulator =
        QCoreApplication::applicationDirPath() + QStringLiteral("/VelmoraMobileEmu");
    const QString aside = emulator + QStringLiteral(".aside");
    QVERIFY(QFile::rename(emulator, aside));
    const QString stateBefore = window->GetCurrentArguments();

    QString title;
    QString text;
    AnswerNextModal([&](QWidget *box) {
        title = box->windowTitle();
        text = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->text();
        ClickButton(box, QStringLiteral("OK"));
    });
    window->OnLaunch();
    QVERIFY(QFile::rename(aside, emulator));

    QCOMPARE(title, QStringLiteral("Velmora Mobile Emulator Launcher"));
    QCOMPARE(text, QStringLiteral("Failed to start Velmora Mobile Emulator!"));
    QCOMPARE(window->GetCurrentArguments(), stateBefore);
    QCOMPARE(list()->currentRow(), 0);
}

void TestProfiles::help()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    child<QPushButton>("helpButton")->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    QCOMPARE(openedUrls.size(), 1);
    QVERIFY(openedUrls.at(0).isLocalFile());
    QCOMPARE(openedUrls.at(0).toLocalFile(),
             QCoreApplication::applicationDirPath() + QStringLiteral("/LauncherHelp.html"));
}

void TestProfiles::changesSurviveRestart()
{
    combo(ResolutionSection)->setCurrentIndex(2);
    AnswerNextModal(EnterName(QStringLiteral("Added")));
    window->OnAddUpdateProfile();

    list()->setCurrentRow(1);
    child<QLineEdit>("argumentsEdit")->setText(QStringLiteral("-changed"));
    window->OnAddUpdateProfile();

    list()->setCurrentRow(2);
    AnswerNextModal(Press(QStringLiteral("OK")));
    window->OnRemoveProfile();

    QList<QString> composed;
    for (const LaunchProfile &profile : window->Profiles())
        composed << window->GetProfileArguments(profile);
    const QStringList names = profileNames();
    window.reset();

    window = std::make_unique<MainWindow>();
    QCOMPARE(profileNames(), names);
    QCOMPARE(names, QStringList({"Base", "Phone", "Lost", "Added"}));
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(window->GetProfileArguments(window->Profiles().at(i)), composed.at(i));
}

QTEST_MAIN(TestProfiles)
#include "tst_profiles.moc"
