#include "adddlg.h"
#include "filelocations.h"
#include "mainwindow.h"
#include "testplatform.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

// Resolutions are device pixels; ctest runs this test scaled by 2, as on a 200% display.
QSize ScreenPixels()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen->geometry().size() * screen->devicePixelRatio();
}

QAbstractButton *FindButton(QWidget *dialog, const QString &caption)
{
    for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>()) {
        if (button->text().remove(QLatin1Char('&')) == caption)
            return button;
    }
    return nullptr;
}

// Answers the modal dialogs shown while it lives, in the order they appear, so the product
// calls the real dialogs and the test answers them like a user. A step "=a|b" pastes a and b
// into the dialog's line edits and presses OK; any other step presses the button of that
// caption. A dialog beyond the script is rejected and counted: it fails the test instead of
// hanging it.
class AnswerModals
{
public:
    explicit AnswerModals(QStringList script) : steps(std::move(script))
    {
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { AnswerNext(); });
        timer.start(5);
    }
    bool Done() const { return steps.isEmpty() && unexpected == 0; }

    QStringList seen; // title and text of each message box

private:
    void AnswerNext()
    {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        // An answered dialog closes at once; one that stays open takes the next step.
        if (!dialog || !dialog->isVisible())
            return;
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            seen << box->windowTitle() + QLatin1Char('\n') + box->text();
        if (steps.isEmpty()) {
            ++unexpected;
            dialog->reject();
            return;
        }
        QString step = steps.takeFirst();
        if (step.startsWith(QLatin1Char('='))) {
            const auto edits = dialog->findChildren<QLineEdit *>();
            const QStringList texts = step.mid(1).split(QLatin1Char('|'));
            for (int i = 0; i < texts.size(); ++i)
                edits.value(i)->insert(texts[i]);
            step = QStringLiteral("OK");
        }
        FindButton(dialog, step)->click();
    }

    QStringList steps;
    int unexpected = 0;
    QTimer timer;
};

} // namespace

// The window on the profiles of mainwindow.ini, with its real dialogs answered from here.
class TestMainWindow : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void openUrl(const QUrl &url) { openedUrl = url; }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dataHome.isValid());
        privateHome = UsePrivateDataHome(dataHome.path());
        QVERIFY2(!privateHome.isEmpty(), "the user's own Launcher.ini would be replaced");
        QVERIFY(QDir().mkpath(QFileInfo(GetFilePath(ConfigFile)).path()));
    }

    // On Windows the private location outlives the test; what it made there goes.
    void cleanupTestCase()
    {
        if (!privateHome.isEmpty())
            QDir(privateHome + "/Velmora").removeRecursively();
    }

    void init()
    {
        QVERIFY(WriteFile(GetFilePath(ConfigFile), ReadAll(UI_TEST_DIR "/mainwindow.ini")));
        window = std::make_unique<MainWindow>();
    }

    void cleanup() { window.reset(); }

    void initialState()
    {
        QCOMPARE(list()->currentRow(), 0);
        // The option Remove buttons start disabled even though their lists are not at entry 0.
        for (const char *name : {"removeResolutionButton", "removePixelDensityButton",
                                 "removeProfileButton", "addUpdateButton"})
            QVERIFY(!child(name)->isEnabled());
        // The labels come from the headers, with a blank before each inner capital.
        auto *form = window->findChild<QFormLayout *>();
        QStringList labels;
        for (int row = 0; row < form->rowCount(); ++row)
            labels << qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget())
                          ->text();
        QCOMPARE(labels, QStringList({"Resolution", "Pixel Density", "Input", "User Agent String",
                                      "&Arguments"}));

        // Forward Tab reaches Help.
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        edit()->setFocus();
        QTest::keyClick(edit(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), child("helpButton"));
        QDesktopServices::setUrlHandler("file", this, "openUrl");
        QTest::keyClick(child("helpButton"), Qt::Key_Space);
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(openedUrl, QUrl::fromLocalFile(QCoreApplication::applicationDirPath() +
                                                "/LauncherHelp.html"));

        QPushButton *addUpdate = child("addUpdateButton");
        combo(ResolutionSection)->setCurrentIndex(0);
        QVERIFY(addUpdate->isEnabled());
        combo(ResolutionSection)->setCurrentIndex(2);
        QVERIFY(!addUpdate->isEnabled());
        edit()->setText("   -first arg  ");
        QVERIFY(!addUpdate->isEnabled());
        edit()->setText(" -first  arg");
        QVERIFY(addUpdate->isEnabled());
        // The stored resolution lies beyond the section: the list shows none, unlike the profile.
        list()->setCurrentRow(4);
        QCOMPARE(combo(ResolutionSection)->currentIndex(), -1);
        QVERIFY(addUpdate->isEnabled());
        // A list without a current item has nothing to remove.
        QVERIFY(!child("removeResolutionButton")->isEnabled());
        list()->setCurrentRow(-1);
        QVERIFY(!child("removeProfileButton")->isEnabled());
    }

    void addUpdateProfile_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<int>("target"); // the row that takes the window's state; -1: none
        QTest::addColumn<QString>("message");

        const QString replace =
            "Add Profile\nThis profile already exists. Do you want to replace it?";
        QTest::newRow("new name, other case") << 0 << QStringList{"=tablet large"} << 5 << "";
        QTest::newRow("existing, replaced") << 0 << QStringList{"=P3", "OK"} << 3 << replace;
        // Row 0 stays current, so nothing refreshes the button until the next change.
        QTest::newRow("first profile replaced") << 0 << QStringList{"=Base", "OK"} << 0 << replace;
        QTest::newRow("existing, declined: asked again")
            << 0 << QStringList{"=P3", "Cancel", "Cancel"} << -1 << replace;
        // What the file cannot give back is refused, naming it, and the name asked again.
        QTest::newRow("unstorable names refused: asked again")
            << 0 << QStringList{"=Big \"one\"", "OK", "=a\r\nb", "OK", "=C:\\temp", "OK", "Cancel"}
            << -1
            << "Add Profile\nA profile name cannot contain a double quote.Add Profile\nA profile "
               "name cannot contain a line break.Add Profile\nA profile name cannot contain a "
               "backslash followed by t.";
        QTest::newRow("cancel") << 0 << QStringList{"Cancel"} << -1 << "";
        QTest::newRow("empty name") << 0 << QStringList{"="} << -1 << "";
        QTest::newRow("update later row") << 2 << QStringList() << 2 << "";
    }

    void addUpdateProfile()
    {
        QFETCH(int, row);
        QFETCH(QStringList, script);
        QFETCH(int, target);

        list()->setCurrentRow(row);
        combo(UserAgentSection)->setCurrentIndex(0);
        edit()->setText(" -b ");
        const QString state = window->GetCurrentArguments();
        QStringList expected = ProfileDump();
        AnswerModals modals(script);
        window->OnAddUpdateProfile();
        QVERIFY(modals.Done());
        QTEST(modals.seen.join(QString()), "message");

        if (target == expected.size())
            expected << script.first().mid(1) + '|' + state;
        else if (target >= 0)
            expected[target] = expected[target].section('|', 0, 0) + '|' + state;
        QCOMPARE(ProfileDump(), expected);
        QCOMPARE(list()->count(), expected.size());
        QCOMPARE(list()->currentRow(), target < 0 ? row : target);
        QVERIFY(expected[list()->currentRow()].startsWith(list()->currentItem()->text() + '|'));
        QCOMPARE(child("addUpdateButton")->isEnabled(), target <= 0);
    }

    void launch_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("arguments"); // pasted after the profile's own, not stored
        QTest::addColumn<QString>("expected");  // the arguments received, joined by '|'

        const auto row = [](const char *name, int index, const char *pasted, const char *expected) {
            QTest::newRow(name) << index << QString(pasted) << QString(expected);
        };
        row("as loaded, quoted user agent", 0, "",
            "-windowsize|1080x2400|-ppi|240|-user-agent|Mozilla/5.0 (Linux) Mobile|-profile-name|"
            "Base|-first|arg");
        row("name with a blank", 1, "",
            "-windowsize|480x800|-ppi|160|-profile-name|Tablet Large|-ab");
        row("list without current item", 4, "", "-ppi|160|-profile-name|Lost");
        row("quoted free text and line breaks pasted, not updated", 2,
            " -url \"a b\"  -x\n-b\r\n-c",
            "-windowsize|320x480|-ppi|240|-profile-name|P2|-url|a b|-x|-b|-c");
        // Windows hands a program one command line, which it splits by rules of its own.
        row("blank, double quotes, backslashes", 2,
            R"( -dir "C:\My files\" -say "a """b""" c" -raw x\"""y\\)",
            R"(-windowsize|320x480|-ppi|240|-profile-name|P2|-dir|C:\My files\|-say|a "b" c|)"
            R"(-raw|x\"y\\)");
    }

    void launch()
    {
        QFETCH(int, row);
        QFETCH(QString, arguments);

        list()->setCurrentRow(row);
        edit()->insert(arguments);
        // The field holds one line, as the file stores it and the emulator gets it.
        QVERIFY(!edit()->text().contains('\n') && !edit()->text().contains('\r'));
        QTemporaryDir records;
        const QString record = records.filePath("args");
        qputenv("VELMORA_RECORD_FILE", QFile::encodeName(record));
        child("launchButton")->click();
        QTRY_VERIFY(QFile::exists(record));
        QTEST(QString::fromUtf8(ReadAll(record)).replace('\n', '|'), "expected");
    }

    // The offscreen platform has no program for HTML files: Help offers its page in an
    // emulator window instead of nothing happening. Without the emulator, Launch says so.
    void withoutPrograms()
    {
        QTemporaryDir records;
        const QString record = records.filePath("args");
        qputenv("VELMORA_RECORD_FILE", QFile::encodeName(record));
        QFile page(GetFilePath(HelpFile));
        const bool made = !page.exists() && page.open(QIODevice::WriteOnly);
        AnswerModals modals({"Yes", "OK"});
        window->OnHelp();
        if (made)
            page.remove();
        QTRY_VERIFY(QFile::exists(record));
        QCOMPARE(ReadAll(record), QUrl::fromLocalFile(GetFilePath(HelpFile)).toEncoded());

        const QString emulator = GetFilePath(EmulatorExecutable);
        QVERIFY(QFile::rename(emulator, emulator + ".aside"));
        window->OnLaunch();
        QVERIFY(QFile::rename(emulator + ".aside", emulator));
        QVERIFY(modals.Done());
        QCOMPARE(modals.seen.size(), 2);
        QCOMPARE(modals.seen.last(),
                 "Velmora Mobile Emulator Launcher\nFailed to start Velmora Mobile Emulator!");
    }

    void addDlgOkState_data()
    {
        // The name row, the keys typed into the number row, and what its validator kept.
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<bool>("enabled");

        QTest::newRow("lone blank") << QStringList{" ", "10", "10"} << true;
        // Which names the file cannot store is checked with the profile names.
        QTest::newRow("unstorable name") << QStringList{"a\"b", "10", "10"} << false;
        QTest::newRow("0 refused") << QStringList{"a", "0", ""} << false;
        QTest::newRow("letters refused") << QStringList{"a", "a-+ 5", "5"} << true;
        QTest::newRow("largest") << QStringList{"a", "2147483647", "2147483647"} << true;
        QTest::newRow("too large") << QStringList{"a", "2147483648", "2147483648"} << false;
    }

    void addDlgOkState()
    {
        QFETCH(QStringList, rows);
        const QString title(40, u'W');
        AddDlg dialog(nullptr, title,
                      {{AddDlgField::FieldText, "Name:", nullptr},
                       {AddDlgField::FieldNumber, "Width:", nullptr}});
        // Wide enough for its own title, whatever its rows need.
        dialog.adjustSize();
        QVERIFY(dialog.width() > dialog.fontMetrics().horizontalAdvance(title));
        dialog.fields[0].edit->insert(rows[0]);
        QTest::keyClicks(dialog.fields[1].edit, rows[1]);
        QCOMPARE(dialog.fields[1].edit->text(), rows[2]);
        QTEST(FindButton(&dialog, "OK")->isEnabled(), "enabled");
    }

    void addResolution_data()
    {
        const QSize screen = ScreenPixels();
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("script"); // the size warning only shows above the screen

        QTest::newRow("screen size") << screen << QStringList();
        QTest::newRow("wider, Yes") << screen + QSize(1, 0) << QStringList("Yes");
        QTest::newRow("taller, No") << screen + QSize(0, 1) << QStringList("No");
    }

    void addResolution()
    {
        QFETCH(QSize, size);
        QFETCH(QStringList, script);

        const auto text = [](QSize s) { return QString("%1x%2").arg(s.width()).arg(s.height()); };
        const QString typed = text(size);
        AnswerModals modals(QStringList{"=Big|" + QString(typed).replace('x', '|')} + script);
        window->OnAddResolution();
        QVERIFY(modals.Done());
        QCOMPARE(modals.seen.size(), script.size());
        QVERIFY(script.isEmpty() ||
                modals.seen[0].contains(
                    typed + "\nbut the current screen resolution is: " + text(ScreenPixels())));
        const bool added = script != QStringList("No");
        const ConfigSection &section = window->Sections().at(ResolutionSection);
        QCOMPARE(section.combo->count(), section.entries.size());
        QCOMPARE(section.entries.last().value,
                 QString(" -windowsize " + (added ? typed : "1080x2400")));
        QCOMPARE(section.combo->currentIndex(), 2 + added);
        QCOMPARE(child("removeResolutionButton")->isEnabled(), added);
    }

    void removeOption()
    {
        const QStringList before = ProfileDump();
        AnswerModals modals({"No", "Yes"});
        // Entry 0 is where users fall back to, so it stays; no current entry removes nothing.
        for (int entry : {0, -1}) {
            combo(ResolutionSection)->setCurrentIndex(entry);
            QVERIFY(!window->RemoveOption(ResolutionSection));
        }
        list()->setCurrentRow(1);
        edit()->setText(" -ab -typed");
        window->OnRemoveResolution();
        QCOMPARE(ProfileDump(), before);
        window->OnRemoveResolution();
        QVERIFY(modals.Done());
        QCOMPARE(modals.seen.last(), "Confirm remove resolution\nThe following "
                                     "profiles use this option, are you sure you "
                                     "want to continue?\n\nTablet Large\nP3\n");
        // The window shows the repaired profile and keeps the unsaved edit, so Update and
        // Launch agree with what is stored.
        QCOMPARE(edit()->text(), " -ab -typed  -windowsize 480x800");
        QCOMPARE(combo(ResolutionSection)->count(), 2);
        QCOMPARE(combo(ResolutionSection)->currentIndex(), 0);
        QVERIFY(!child("removeResolutionButton")->isEnabled());
    }

    void closeWritesAndNewWindowReadsBack()
    {
        AnswerModals modals({"=Added", "=Wide|1|2", "=Dense|640", "Cancel", "OK", "Yes"});
        combo(UserAgentSection)->setCurrentIndex(0);
        window->OnAddUpdateProfile();
        list()->setCurrentRow(2);
        edit()->setText("-changed");
        window->OnAddUpdateProfile();
        window->OnAddResolution();
        window->OnAddPixelDensity();
        list()->setCurrentRow(1);
        child("removeProfileButton")->click(); // declined
        child("removeProfileButton")->click();
        QCOMPARE(modals.seen.value(1), "Confirm Remove Profile\nAre you sure you "
                                       "want to remove this profile?\n\nTablet Large");
        QCOMPARE(list()->item(1)->text(), "P2");
        QCOMPARE(list()->currentRow(), 0);
        QVERIFY(!child("removeProfileButton")->isEnabled());
        combo(ResolutionSection)->setCurrentIndex(1);
        window->OnRemoveResolution();
        QVERIFY(modals.Done());
        window.reset();
        const QByteArray written = ReadAll(GetFilePath(ConfigFile));
        QCOMPARE(written,
                 PlatformLineEnds(ReadAll(QStringLiteral(UI_TEST_DIR "/mainwindow-edited.ini"))));

        // What a new window read, it writes again unchanged.
        window = std::make_unique<MainWindow>();
        window.reset();
        QCOMPARE(ReadAll(GetFilePath(ConfigFile)), written);
    }

    void userFileNeverLost()
    {
        // A directory takes the file's place, so the file can be neither written nor read.
        const QString defaults = GetFilePath(DefaultConfigFile);
        QFile::remove(defaults);
        QVERIFY(QFile::copy(VELMORA_BIN_DIR "/LauncherDefault.ini", defaults));
        const QString path = GetFilePath(ConfigFile);
        QVERIFY(QFile::remove(path) && QDir().mkpath(path + "/kept"));
        AnswerModals modals({"OK", "OK"});
        window.reset();                          // the failed save is reported
        window = std::make_unique<MainWindow>(); // starts from the default file, with a warning
        window.reset();                          // and never saves over what it could not read
        QVERIFY(modals.Done());
        QCOMPARE(modals.seen.size(), 2);
        QVERIFY(modals.seen[0].contains("Unable to save the configuration file " + path + '.'));
        QVERIFY(
            modals.seen[1].contains(path + " cannot be read. The default configuration is used"));
        QVERIFY(QFileInfo(path + "/kept").isDir());
        QVERIFY(QDir(path).removeRecursively() && QFile::remove(defaults));
    }

    void manyProfiles()
    {
        // Thousands of profiles: the widest name is reachable though not last, which uniform
        // item sizes measure, and the removal question names a screenful and counts the rest.
        QByteArray config =
            "$VERSION\t107\n[Profile]\n\"Base\"\t\"\"\n\"MMMMMMMMMMMMMMMMMMMM\"\t\"\"\n";
        for (int i = 0; i < 3000; ++i)
            config += "\"U" + QByteArray::number(i) + "\"\t\"[Resolution] 1 \"\n";
        config += "[Resolution]\n\"A\"\t\"\"\n\"B\"\t\" -b\"\n";
        QVERIFY(WriteFile(GetFilePath(ConfigFile), config));
        window = std::make_unique<MainWindow>();
        window->show();
        list()->setFixedWidth(list()->sizeHint().width() / 2);
        QTRY_VERIFY(list()->horizontalScrollBar()->maximum() + list()->viewport()->width() >=
                    list()->sizeHintForColumn(0));

        AnswerModals modals({"Yes"});
        combo(ResolutionSection)->setCurrentIndex(1);
        window->OnRemoveResolution();
        QVERIFY(modals.Done());
        QVERIFY(modals.seen.constFirst().endsWith("\n\nU0\nU1\nU2\nU3\nU4\nU5\nU6\nU7\n"
                                                  "U8\nU9\nU10\nU11\nU12\nU13\nU14\n"
                                                  "U15\nU16\nU17\nU18\nU19\n"
                                                  "and 2980 more\n"));
        QCOMPARE(window->Profiles().at(3001).arguments, " -b");
    }

private:
    template <typename T = QPushButton> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QComboBox *combo(int section) const { return window->Sections().at(section).combo; }
    QListWidget *list() const { return child<QListWidget>("profileList"); }
    QLineEdit *edit() const { return child<QLineEdit>("argumentsEdit"); }

    QStringList ProfileDump() const
    {
        QStringList dump;
        for (const LaunchProfile &profile : window->Profiles())
            dump << profile.name + '|' + window->GetProfileArguments(profile);
        return dump;
    }

    QTemporaryDir dataHome;
    QString privateHome;
    QUrl openedUrl;
    std::unique_ptr<MainWindow> window;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
