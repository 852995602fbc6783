#include "launchercopy.h"

#include <QTest>

// The launcher and the emulator together: Launch, pressed from the keyboard, opens an
// emulator window for the chosen profile.
class TestLaunchEmulator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void launchOpensEmulatorWindow();
};

void TestLaunchEmulator::launchOpensEmulatorWindow()
{
    LauncherCopy copy(true);
    QVERIFY(copy.valid);
    QVERIFY(copy.AddCompanion(QStringLiteral("VelmoraMobileEmu")));

    auto launcher = copy.Start();
    const QString window = WaitForWindow(*launcher);
    QVERIFY2(!window.isEmpty(), "the launcher shows no window");

    QVERIFY(RunXdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}));
    QVERIFY(RunXdotool(
        {QStringLiteral("key"), QStringLiteral("--window"), window, QStringLiteral("alt+l")}));

    // The first profile of the shipped catalogue.
    const QString emulatorTitle = QStringLiteral("Phone - Velmora Mobile Emulator");
    QStringList emulators;
    const bool opened = QTest::qWaitFor(
        [&] {
            emulators = FindWindows(emulatorTitle);
            return !emulators.isEmpty();
        },
        60000);

    for (const QString &id : std::as_const(emulators))
        RunXdotool({QStringLiteral("windowkill"), id});
    launcher->kill();
    launcher->waitForFinished();

    QVERIFY2(opened, "no emulator window for the profile appeared");
    QCOMPARE(emulators.size(), 1);
}

QTEST_GUILESS_MAIN(TestLaunchEmulator)
#include "tst_launchemulator.moc"
