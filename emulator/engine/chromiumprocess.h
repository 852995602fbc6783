#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

class DevToolsPipe;

// One browser process with its debugging pipe: started with the switches that keep it
// quiet (no first-run dialog, keyring prompt, info bar or listening port), and ended
// cleanly — closed through the protocol so that its profile is written, then asked, then
// made to go. It never outlives this program.
class ChromiumProcess : public QObject
{
    Q_OBJECT

public:
    static constexpr int CloseGraceMs = 5000;

    explicit ChromiumProcess(QObject *parent = nullptr);
    ~ChromiumProcess() override;

    // The switches every run has, beside `extra`, for a profile kept in `userDataDir`.
    static QStringList Arguments(const QString &userDataDir, const QStringList &extra);

    // False with the reason when the browser cannot be started; `temporaryDir` takes the
    // browser's own temporary files, so that nothing of it stays in the shared one.
    bool Start(const QString &program, const QStringList &arguments, const QString &temporaryDir,
               QString *problem);
    DevToolsPipe *pipe() const { return devTools; }
    qint64 processId() const;
    bool isRunning() const;

    // Browser.close, then SIGTERM, then SIGKILL, each after CloseGraceMs; finished() follows.
    void Close();

Q_SIGNALS:
    // `problem` is empty when the browser ended because it was asked to.
    void finished(const QString &problem);

private:
    // The platform's part: the pipe's ends made and handed to the browser as it starts.
    bool Launch(const QString &program, QStringList arguments, QString *problem);
    static bool RunningAsRoot();
    void OnFinished(int exitCode, QProcess::ExitStatus status);

    QProcess process;
    DevToolsPipe *devTools = nullptr;
    bool closing = false;
};
