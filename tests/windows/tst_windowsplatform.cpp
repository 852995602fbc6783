// The launcher's Windows side: the 8-bit fallback through the ANSI code page, and the real
// launcher on the windows platform, with its data folder, its line ends and one instance.
#include "configreader.h"
#include "testplatform.h"

#include <QtTest>

#include <windows.h>

namespace {

const QString LauncherPath = QStringLiteral(VELMORA_BIN_DIR "/velmora-launcher.exe");

// The launcher's window, once the process shows it.
HWND MainWindowOf(const QProcess &process)
{
    HWND window = FindWindowW(nullptr, L"Velmora Mobile Emulator");
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return window && owner == process.processId() && IsWindowVisible(window) ? window : nullptr;
}

} // namespace

class TestWindowsPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ansiCodePage_data()
    {
        QTest::addColumn<uint>("codePage");
        QTest::addColumn<QByteArray>("data"); // not UTF-8: written by an older version
        QTest::addColumn<QString>("text");
        QTest::newRow("Western") << 1252u << QByteArray("\x80 Caf\xe9")
                                 << QStringLiteral("\u20ac Caf\u00e9");
        QTest::newRow("Japanese, two bytes a character")
            << 932u << QByteArray("\x83\x65\x83\x58\x83\x67")
            << QStringLiteral("\u30c6\u30b9\u30c8");
    }
    void ansiCodePage()
    {
        QFETCH(uint, codePage);
        QFETCH(QByteArray, data);
        if (GetACP() != codePage)
            QSKIP("The system has another ANSI code page");
        QTEST(DecodeConfigData(data), "text");
    }

    // Started as the user starts it, it uses the user's own Launcher.ini: only where the user
    // is no one's, as in the wine prefix of scripts/windows-check.sh.
    void launcher()
    {
        if (qEnvironmentVariableIsEmpty("VELMORA_DISPOSABLE_USER"))
            QSKIP("Would use the real user's Launcher.ini");
        const QString localAppData = qEnvironmentVariable("LOCALAPPDATA");
        QVERIFY(!localAppData.isEmpty());
        const QString folder = QDir::fromNativeSeparators(localAppData) +
                               QStringLiteral("/Velmora/VelmoraMobileEmulator");
        const QString path = folder + QStringLiteral("/Launcher.ini");
        // LF line ends, as a file brought from another system has them.
        QVERIFY(QDir().mkpath(folder) &&
                WriteFile(path, "$VERSION\t107\n[Profile]\n\"Base\"\t\"\"\n\"Seen\"\t\" -x\"\n"));

        QProcess first;
        first.start(LauncherPath, {});
        QVERIFY(first.waitForStarted());
        HWND window = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((window = MainWindowOf(first)) != nullptr, 60000);

        // A second start hands over to the first and ends at once, successfully.
        QProcess second;
        second.start(LauncherPath, {});
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        // Closed like any window, it saves what it read, with this platform's line ends.
        PostMessageW(window, WM_CLOSE, 0, 0);
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        const QByteArray saved = ReadAll(path);
        QVERIFY2(saved.contains("\r\n\"Seen\"\t\"[Resolution] 0 [PixelDensity] 0 [Input] 0 "
                                "[UserAgentString] 0 -x\"\r\n"),
                 saved.constData());
        QCOMPARE(saved.count('\n'), saved.count("\r\n"));
        QVERIFY(QFile::remove(path));
    }
};

QTEST_GUILESS_MAIN(TestWindowsPlatform)
#include "tst_windowsplatform.moc"
