#include "adddlg.h"
#include "mainwindow.h"
#include "uitestsupport.h"

#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <memory>

namespace {

const QByteArray Fixture = "$VERSION\t107\n"
                           "[Profile]\n"
                           "\"Base\"\t\"[Resolution] 0 [PixelDensity] 1 [Input] 0 "
                           "[UserAgentString] 0 \"\n"
                           "\"P1\"\t\"[Resolution] 2 [PixelDensity] 0 [Input] 0 "
                           "[UserAgentString] 0 \"\n"
                           "\"P2\"\t\"[Resolution] 3 [PixelDensity] 2 [Input] 0 "
                           "[UserAgentString] 0 -x\"\n"
                           "\"P3\"\t\"[Resolution] 1 [PixelDensity] 1 [Input] 0 "
                           "[UserAgentString] 0 \"\n"
                           "\"P4\"\t\"[Resolution] 2 [PixelDensity] 0 [Input] 0 "
                           "[UserAgentString] 0 -ab\"\n"
                           "\"Lost\"\t\"[Resolution] 9 [PixelDensity] 0 [Input] 0 "
                           "[UserAgentString] 0 \"\n"
                           "[Resolution]\n"
                           "\"Small\"\t\" -windowsize 320x480\"\n"
                           "\"480x800\"\t\" -windowsize 480x800\"\n"
                           "\"720x1280\"\t\" -windowsize 720x1280\"\n"
                           "\"1080x2400\"\t\" -windowsize 1080x2400\"\n"
                           "\"Unused\"\t\" -windowsize 600x600\"\n"
                           "[PixelDensity]\n"
                           "\"160\"\t\" -ppi 160\"\n"
                           "\"240\"\t\" -ppi 240\"\n"
                           "\"320\"\t\" -ppi 320\"\n"
                           "[Input]\n"
                           "[UserAgentString]\n";

const QByteArray NoOptionEntries = "$VERSION\t107\n"
                                   "[Profile]\n"
                                   "\"Base\"\t\"\"\n"
                                   "[Resolution]\n";

using Answer = std::function<void(QWidget *)>;

// Answers the dialogs shown while it lives, in order. A dialog beyond the script is rejected
// and recorded, so an unexpected question fails the test instead of blocking it.
class ModalScript
{
public:
    explicit ModalScript(QList<Answer> script) : answers(std::move(script))
    {
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { AnswerNext(); });
        timer.start(5);
    }

    bool Finished() const { return answers.isEmpty(); }
    QStringList unexpected;

private:
    void AnswerNext()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal == handled)
            return;
        handled = modal;
        if (answers.isEmpty()) {
            unexpected << modal->windowTitle();
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            return;
        }
        answers.takeFirst()(modal);
    }

    QList<Answer> answers;
    QPointer<QWidget> handled;
    QTimer timer;
};

struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons standardButtons;
    QStringList buttons; // text and role of each button, in the box's order
    QWidget *parent = nullptr;
};

Answer AnswerBox(const QString &answer, SeenBox *seen)
{
    return [answer, seen](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->standardButtons = box->standardButtons();
        seen->parent = box->parentWidget();
        const auto buttons = box->buttons();
        for (QAbstractButton *button : buttons)
            seen->buttons << button->text() + QLatin1Char('/') +
                                 QString::number(box->buttonRole(button));
        if (answer == QLatin1String("Escape"))
            QTest::keyClick(box, Qt::Key_Escape);
        else
            ClickButton(box, answer);
    };
}

// Fills the add-option dialog's rows through the keyboard, then presses OK or Cancel.
Answer FillDialog(const QString &title, const QStringList &texts, const QString &button)
{
    return [title, texts, button](QWidget *modal) {
        auto *dialog = qobject_cast<AddDlg *>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), title);
        QCOMPARE(dialog->fields.size(), texts.size());
        for (int i = 0; i < texts.size(); ++i)
            QTest::keyClicks(dialog->fields[i].edit, texts[i]);
        ClickButton(dialog, button);
    };
}

QSize ScreenSize()
{
    return QGuiApplication::primaryScreen()->geometry().size();
}

} // namespace

class TestOptionLists : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void addOption_data();
    void addOption();
    void addToSectionWithoutEntries();
    void removeOption_data();
    void removeOption();
    void changesSurviveRestart();

private:
    QComboBox *combo(int section) const { return window->Sections().at(section).combo; }
    QPushButton *button(const char *name) const
    {
        return window->findChild<QPushButton *>(QLatin1String(name));
    }
    QPushButton *removeButton(int section) const
    {
        return button(section == ResolutionSection ? "removeResolutionButton"
                                                   : "removePixelDensityButton");
    }
    QStringList names(int section) const { return window->Sections().at(section).EntryNames(); }
    QStringList items(int section) const;
    QList<int> selections(int section) const;
    QStringList arguments() const;

    QTemporaryDir dataHome;
    std::unique_ptr<MainWindow> window;
};

QList<int> TestOptionLists::selections(int section) const
{
    QList<int> result;
    for (const LaunchProfile &profile : window->Profiles())
        result << profile.selections.value(section - 1);
    return result;
}

QStringList TestOptionLists::items(int section) const
{
    QStringList result;
    for (int i = 0; i < combo(section)->count(); ++i)
        result << combo(section)->itemText(i);
    return result;
}

QStringList TestOptionLists::arguments() const
{
    QStringList result;
    for (const LaunchProfile &profile : window->Profiles())
        result << profile.arguments;
    return result;
}

void TestOptionLists::initTestCase()
{
    QVERIFY(dataHome.isValid());
    UseTemporaryDataHome(dataHome);
}

void TestOptionLists::init()
{
    QVERIFY(WriteUserConfig(Fixture));
    window = std::make_unique<MainWindow>();
}

void TestOptionLists::cleanup()
{
    QVERIFY(!QApplication::activeModalWidget());
    window.reset();
    QFile::remove(UserConfigPath());
}

void TestOptionLists::addOption_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("dialogButton");
    QTest::addColumn<QString>("warningAnswer"); // empty: no warning expected
    QTest::addColumn<QString>("value");         // empty: nothing added

    // The comparison is strict and made against whatever screen this run reports.
    const QSize screen = ScreenSize();
    const QString w = QString::number(screen.width());
    const QString h = QString::number(screen.height());
    const QString wider = QString::number(screen.width() + 1);
    const QString taller = QString::number(screen.height() + 1);
    const QString narrower = QString::number(screen.width() - 1);
    const QString lower = QString::number(screen.height() - 1);
    const int res = ResolutionSection;
    const int ppi = PixelDensitySection;
    const QString none;

    QTest::newRow("below screen") << res << QStringList{" Wide one", narrower, lower} << "OK"
                                  << none << QString(" -windowsize " + narrower + "x" + lower);
    QTest::newRow("equal to screen") << res << QStringList{"Full", w, h} << "OK" << none
                                     << QString(" -windowsize " + w + "x" + h);
    QTest::newRow("wider, Yes") << res << QStringList{"Wide", wider, "1"} << "OK"
                                << "Yes" << QString(" -windowsize " + wider + "x1");
    QTest::newRow("taller, Yes") << res << QStringList{"Tall", "1", taller} << "OK"
                                 << "Yes" << QString(" -windowsize 1x" + taller);
    QTest::newRow("wider, No") << res << QStringList{"Wide", wider, "1"} << "OK"
                               << "No" << none;
    QTest::newRow("taller, Escape") << res << QStringList{"Tall", "1", taller} << "OK"
                                    << "Escape" << none;
    QTest::newRow("resolution cancelled")
        << res << QStringList{"A", "1", "1"} << "Cancel" << none << none;
    QTest::newRow("pixel density")
        << ppi << QStringList{"Retina", "326"} << "OK" << none << QString(" -ppi 326");
    QTest::newRow("pixel density cancelled")
        << ppi << QStringList{"Retina", "326"} << "Cancel" << none << none;
}

void TestOptionLists::addOption()
{
    QFETCH(int, section);
    QFETCH(QStringList, texts);
    QFETCH(QString, dialogButton);
    QFETCH(QString, warningAnswer);
    QFETCH(QString, value);

    const bool resolution = section == ResolutionSection;
    const QList<ConfigEntry> entriesBefore = window->Sections().at(section).entries;
    const int indexBefore = combo(section)->currentIndex();
    const QStringList argumentsBefore = arguments();

    SeenBox warning;
    QList<Answer> answers{FillDialog(resolution ? QStringLiteral("Add Resolution")
                                                : QStringLiteral("Add Pixel Density"),
                                     texts, dialogButton)};
    if (!warningAnswer.isEmpty())
        answers << AnswerBox(warningAnswer, &warning);
    ModalScript script(answers);
    button(resolution ? "addResolutionButton" : "addPixelDensityButton")->click();
    QVERIFY(script.Finished());
    QCOMPARE(script.unexpected, QStringList());

    if (!warningAnswer.isEmpty()) {
        const QSize screen = ScreenSize();
        QCOMPARE(warning.title, QStringLiteral("Resolution bigger than the current screen size!"));
        QCOMPARE(warning.text, QStringLiteral("You are trying to add: %1x%2\nbut the current "
                                              "screen resolution is: %3x%4\n\nAre you sure ?")
                                   .arg(texts[1], texts[2])
                                   .arg(screen.width())
                                   .arg(screen.height()));
        QCOMPARE(warning.icon, QMessageBox::Warning);
        QCOMPARE(warning.standardButtons, QMessageBox::NoButton);
        QCOMPARE(warning.parent, window.get());
        QCOMPARE(warning.buttons, QStringList({"Yes/" + QString::number(QMessageBox::AcceptRole),
                                               "No/" + QString::number(QMessageBox::RejectRole)}));
    }

    const QList<ConfigEntry> entries = window->Sections().at(section).entries;
    QCOMPARE(items(section), names(section));
    QCOMPARE(arguments(), argumentsBefore);
    if (value.isEmpty()) {
        QCOMPARE(entries.size(), entriesBefore.size());
        QCOMPARE(combo(section)->currentIndex(), indexBefore);
        return;
    }
    QCOMPARE(entries.size(), entriesBefore.size() + 1);
    QCOMPARE(entries.last().name, texts[0]);
    QCOMPARE(entries.last().value, value);
    QCOMPARE(combo(section)->currentIndex(), entries.size() - 1);
    QCOMPARE(combo(section)->currentText(), texts[0]);
    QVERIFY(removeButton(section)->isEnabled());
}

void TestOptionLists::addToSectionWithoutEntries()
{
    window.reset();
    QVERIFY(WriteUserConfig(NoOptionEntries));
    window = std::make_unique<MainWindow>();

    for (int section : {int(ResolutionSection), int(PixelDensitySection)}) {
        const bool resolution = section == ResolutionSection;
        QCOMPARE(names(section), QStringList{"Default"});
        ModalScript script({resolution ? FillDialog("Add Resolution", {"New", "10", "20"}, "OK")
                                       : FillDialog("Add Pixel Density", {"New", "96"}, "OK")});
        button(resolution ? "addResolutionButton" : "addPixelDensityButton")->click();
        QVERIFY(script.Finished());
        QCOMPARE(names(section), QStringList({"Default", "New"}));
        QCOMPARE(combo(section)->currentIndex(), 1);
        QVERIFY(removeButton(section)->isEnabled());

        // Nobody uses the new entry: it goes without a question, back to "Default".
        removeButton(section)->click();
        QCOMPARE(script.unexpected, QStringList());
        QCOMPARE(names(section), QStringList{"Default"});
        QCOMPARE(items(section), QStringList{"Default"});
        QCOMPARE(combo(section)->currentIndex(), 0);
        QVERIFY(!removeButton(section)->isEnabled());
    }
}

void TestOptionLists::removeOption_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<int>("current");    // the entry the list shows when Remove is pressed
    QTest::addColumn<QString>("answer"); // empty: no question expected
    QTest::addColumn<QString>("users");
    QTest::addColumn<QStringList>("namesAfter");
    QTest::addColumn<QList<int>>("selectionsAfter");
    QTest::addColumn<QStringList>("argumentsAfter");

    const QStringList resolutions{"Small", "480x800", "720x1280", "1080x2400", "Unused"};
    const QList<int> resolutionSelections{0, 2, 3, 1, 2, 9};
    const QStringList args{"", "", " -x", "", " -ab", ""};
    const int res = ResolutionSection;
    const QString none;
    const QString p1p4 = QStringLiteral("P1\nP4\n");

    // Selections beyond the removed entry move down with it, even one already out of range.
    QTest::newRow("unused") << res << 4 << none << none
                            << QStringList{"Small", "480x800", "720x1280", "1080x2400"}
                            << QList<int>{0, 2, 3, 1, 2, 8} << args;
    QTest::newRow("used, No") << res << 2 << "No" << p1p4 << resolutions << resolutionSelections
                              << args;
    QTest::newRow("used, Escape") << res << 2 << "Escape" << p1p4 << resolutions
                                  << resolutionSelections << args;
    QTest::newRow("used, Yes") << res << 2 << "Yes" << p1p4
                               << QStringList{"Small", "480x800", "1080x2400", "Unused"}
                               << QList<int>{0, 0, 2, 1, 0, 8}
                               << QStringList{"", " -windowsize 720x1280",      " -x",
                                              "", " -ab  -windowsize 720x1280", ""};
    QTest::newRow("pixel density, Yes")
        << int(PixelDensitySection) << 1 << "Yes" << QString("Base\nP3\n")
        << QStringList{"160", "320"} << QList<int>{0, 0, 1, 0, 0, 0}
        << QStringList{" -ppi 240", "", " -x", " -ppi 240", " -ab", ""};
    // Entry 0 is never removed; a list without a current entry removes nothing either.
    QTest::newRow("entry 0") << res << 0 << none << none << resolutions << resolutionSelections
                             << args;
    QTest::newRow("no current entry")
        << res << -1 << none << none << resolutions << resolutionSelections << args;
}

void TestOptionLists::removeOption()
{
    QFETCH(int, section);
    QFETCH(int, current);
    QFETCH(QString, answer);
    QFETCH(QString, users);
    QFETCH(QStringList, namesAfter);
    QFETCH(QList<int>, selectionsAfter);
    QFETCH(QStringList, argumentsAfter);

    const int other = section == ResolutionSection ? PixelDensitySection : ResolutionSection;
    const QList<int> otherSelections = selections(other);
    // Through entry 0, so the list signals its choice even when it showed it already.
    combo(section)->setCurrentIndex(0);
    combo(section)->setCurrentIndex(current);
    const QString shownArguments = window->findChild<QLineEdit *>("argumentsEdit")->text();
    const int otherIndex = combo(other)->currentIndex();
    const bool removable = current >= 1;
    QCOMPARE(removeButton(section)->isEnabled(), current != 0);

    SeenBox question;
    ModalScript script(answer.isEmpty() ? QList<Answer>()
                                        : QList<Answer>{AnswerBox(answer, &question)});
    if (removeButton(section)->isEnabled())
        removeButton(section)->click();
    else
        QVERIFY(!window->RemoveOption(section));
    QVERIFY(script.Finished());
    QCOMPARE(script.unexpected, QStringList());

    if (!answer.isEmpty()) {
        QCOMPARE(question.title, section == ResolutionSection
                                     ? QStringLiteral("Confirm remove resolution")
                                     : QStringLiteral("Confirm remove pixel density"));
        const QString intro = QStringLiteral(
            "The following profiles use this option, are you sure you want to continue?\n\n");
        QCOMPARE(question.text, intro + users);
        QCOMPARE(question.standardButtons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(question.parent, window.get());
    }
    QCOMPARE(names(section), namesAfter);
    QCOMPARE(items(section), namesAfter);
    QCOMPARE(selections(section), selectionsAfter);
    QCOMPARE(selections(other), otherSelections);
    QCOMPARE(arguments(), argumentsAfter);

    const bool removed =
        removable && answer != QLatin1String("No") && answer != QLatin1String("Escape");
    QCOMPARE(combo(section)->currentIndex(), removed ? 0 : current);
    QCOMPARE(removeButton(section)->isEnabled(), !removed && current != 0);
    // The rest of the window stays as it was.
    QCOMPARE(window->findChild<QListWidget *>("profileList")->currentRow(), 0);
    QCOMPARE(window->findChild<QLineEdit *>("argumentsEdit")->text(), shownArguments);
    QCOMPARE(combo(other)->currentIndex(), otherIndex);
}

void TestOptionLists::changesSurviveRestart()
{
    SeenBox question;
    ModalScript script({FillDialog("Add Resolution", {"Wide screen", "1", "2"}, "OK"),
                        FillDialog("Add Pixel Density", {"Dense", "640"}, "OK"),
                        AnswerBox("Yes", &question)});
    button("addResolutionButton")->click();
    button("addPixelDensityButton")->click();
    combo(ResolutionSection)->setCurrentIndex(2);
    removeButton(ResolutionSection)->click();
    QVERIFY(script.Finished());

    const QList<ConfigSection> sections = window->Sections();
    const QList<LaunchProfile> profiles = window->Profiles();
    window.reset();
    window = std::make_unique<MainWindow>();

    QCOMPARE(window->Sections().size(), sections.size());
    for (int s = ResolutionSection; s < SectionCount; ++s) {
        const QList<ConfigEntry> &entries = window->Sections().at(s).entries;
        QCOMPARE(entries.size(), sections[s].entries.size());
        for (int i = 0; i < entries.size(); ++i) {
            QCOMPARE(entries[i].name, sections[s].entries[i].name);
            QCOMPARE(entries[i].value, sections[s].entries[i].value);
        }
    }
    QCOMPARE(window->Profiles().size(), profiles.size());
    for (int i = 0; i < profiles.size(); ++i) {
        const LaunchProfile &read = window->Profiles().at(i);
        QCOMPARE(read.name, profiles[i].name);
        QCOMPARE(read.selections, profiles[i].selections);
        // Stored arguments are read back token by token, so runs of blanks become one.
        QCOMPARE(read.arguments.simplified(), profiles[i].arguments.simplified());
    }
    QCOMPARE(window->Profiles().at(4).arguments, QStringLiteral(" -ab -windowsize 720x1280"));
}

QTEST_MAIN(TestOptionLists)
#include "tst_optionlists.moc"
