#include "launchercopy.h"
#include "x11session.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

#include <chrono>
#include <thread>

namespace {

constexpr int Profiles = 5000;
constexpr int Rounds = 150;
// Entries of [Resolution], [PixelDensity], [Input] and [UserAgentString].
constexpr int OptionCounts[] = {400, 120, 20, 160};
constexpr const char *OptionHeaders[] = {"[Resolution]", "[PixelDensity]", "[Input]",
                                         "[UserAgentString]"};
// Any other seed reproduces another run: VELMORA_STRESS_SEED=<number>.
constexpr quint32 DefaultSeed = 0x5a4e17;

// A large configuration in a form the launcher reads but never writes: CR LF line ends, its
// own comments, and profile values with their sections out of order and extra blanks. The
// file the launcher writes back therefore differs from it on nearly every line.
QByteArray LargeConfiguration()
{
    QByteArray text = "# Many profiles, for the crash test\r\n$VERSION=107\r\n\r\n[Profile]\r\n";
    for (int i = 0; i < Profiles; ++i) {
        text += "\"Profile " + QByteArray::number(i) + "\"\t\"";
        for (int s = 3; s >= 0; --s)
            text += QByteArray(OptionHeaders[s]) + ' ' +
                    QByteArray::number((i * (s + 7)) % OptionCounts[s]) + "  ";
        text += " -profile-dir \\tmp\\p" + QByteArray::number(i) + "\"\r\n";
    }
    for (int s = 0; s < 4; ++s) {
        text += "\r\n" + QByteArray(OptionHeaders[s]) + "\r\n";
        for (int e = 0; e < OptionCounts[s]; ++e)
            text += "\"Option " + QByteArray::number(e) + "\"\t\" -option" + QByteArray::number(s) +
                    ' ' + QByteArray::number(e) + "\"\r\n";
    }
    return text;
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

qsizetype CommonPrefix(const QByteArray &a, const QByteArray &b)
{
    qsizetype length = 0;
    while (length < a.size() && length < b.size() && a[length] == b[length])
        ++length;
    return length;
}

quint32 Seed()
{
    bool ok = false;
    const quint32 seed = qEnvironmentVariable("VELMORA_STRESS_SEED").toUInt(&ok);
    return ok ? seed : DefaultSeed;
}

} // namespace

class TestSaveCrash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void killWhileSaving();

private:
    // Starts the launcher and asks it to close once its window shows; the save runs from
    // then on until the process ends.
    std::unique_ptr<QProcess> StartAndClose(const LauncherCopy &launcher);

    X11Session x11;
};

void TestSaveCrash::initTestCase()
{
    QVERIFY2(x11.IsOpen(), "needs an X server");
    QVERIFY2(RunXdotool({QStringLiteral("version")}), "needs xdotool");
}

std::unique_ptr<QProcess> TestSaveCrash::StartAndClose(const LauncherCopy &launcher)
{
    std::unique_ptr<QProcess> process = launcher.Start();
    const QString window = WaitForWindow(*process);
    if (window.isEmpty() || !x11.SendWindowClose(window.toULong()))
        return nullptr;
    return process;
}

void TestSaveCrash::killWhileSaving()
{
    LauncherCopy launcher(true);
    QVERIFY(launcher.valid);
    const QString configPath = launcher.ConfigPath();
    QDir configDir = QFileInfo(configPath).dir();
    QVERIFY(configDir.mkpath(QStringLiteral(".")));
    const QByteArray oldContent = LargeConfiguration();

    // One close without a kill gives the new content and how long a close takes.
    QVERIFY(WriteFile(configPath, oldContent));
    std::unique_ptr<QProcess> process = StartAndClose(launcher);
    QVERIFY(process);
    const QDateTime closeRequested = QDateTime::currentDateTime();
    QElapsedTimer closing;
    closing.start();
    QVERIFY(process->waitForFinished(LauncherStartTimeoutMs));
    const qint64 closeMicroseconds = closing.nsecsElapsed() / 1000;
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), 0);
    const QByteArray newContent = ReadFile(configPath);
    QVERIFY(newContent.startsWith("# A configuration out for the Velmora Mobile Launcher.\n"));
    QVERIFY(newContent.contains("\"Profile 4999\"\t\"[Resolution] "));
    QVERIFY(newContent != oldContent);
    // The new file comes into being as the save begins and is renamed into place whole, so
    // its own times tell (to the file system's clock tick) when the save ran.
    const QFileInfo written(configPath);
    const qint64 saveBegins = closeRequested.msecsTo(written.birthTime()) * 1000;
    const qint64 saveEnds = closeRequested.msecsTo(written.lastModified()) * 1000;

    const quint32 seed = Seed();
    qInfo("seed %u, %d profiles, %lld bytes before and %lld after; a close takes %lld us, the "
          "save runs from about %lld to %lld us",
          seed, Profiles, qint64(oldContent.size()), qint64(newContent.size()), closeMicroseconds,
          saveBegins, saveEnds);
    QRandomGenerator random(seed);
    int keptOld = 0, killedAfterSave = 0, killedInSave = 0, endedFirst = 0, strays = 0;
    for (int round = 0; round < Rounds; ++round) {
        QVERIFY(WriteFile(configPath, oldContent));
        const qint64 delay = random.bounded(closeMicroseconds * 3 / 2 + 1);
        process = StartAndClose(launcher);
        QVERIFY(process);
        // Not a wait for anything: the moment of the kill is the random variable here.
        std::this_thread::sleep_for(std::chrono::microseconds(delay));
        process->kill();
        QVERIFY(process->waitForFinished(LauncherStartTimeoutMs));

        const QByteArray content = ReadFile(configPath);
        const bool isOld = content == oldContent;
        QVERIFY2(isOld || content == newContent,
                 qPrintable(QStringLiteral("round %1, kill after %2 us: %3 of %4 bytes, the "
                                           "first %5 of them new")
                                .arg(round)
                                .arg(delay)
                                .arg(content.size())
                                .arg(newContent.size())
                                .arg(CommonPrefix(content, newContent))));
        if (process->exitStatus() == QProcess::NormalExit) {
            ++endedFirst;
        } else {
            ++(isOld ? keptOld : killedAfterSave);
            if (delay >= saveBegins && delay <= saveEnds)
                ++killedInSave;
        }

        // A left-over temporary file must never pass for a configuration: only the
        // launcher's own file may carry the name, and none may end like a set-aside one.
        QStringList others = QDir(configDir.path()).entryList(QDir::Files | QDir::Hidden);
        others.removeOne(QStringLiteral("Launcher.ini"));
        for (const QString &name : others) {
            QVERIFY2(name.startsWith(QStringLiteral("Launcher.ini.")) &&
                         !name.endsWith(QStringLiteral(".ini")),
                     qPrintable(name));
            QVERIFY(configDir.remove(name));
            ++strays;
        }
    }
    qInfo("killed with the old file kept: %d, with the new one in place: %d (about %d kills fell "
          "inside the save); ended before the kill: %d; left-over temporary files: %d",
          keptOld, killedAfterSave, killedInSave, endedFirst, strays);
}

QTEST_GUILESS_MAIN(TestSaveCrash)
#include "tst_savecrash.moc"
