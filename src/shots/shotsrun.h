#pragma once

#include "shotsplan.h"

#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>

#include <functional>

class QProcess;

// One emulator run: what it is started with and what came of it.
struct ShotJob
{
    QStringList arguments;
    QString picturePath;
    ShotResult result;
};

// Runs emulators for the jobs, at most `parallel` at once and without windows, each stopped
// after `timeoutMs`, and fills in every job's result. Never through a shell.
class ShotsRun : public QObject
{
    Q_OBJECT

public:
    ShotsRun(const QString &emulator, QList<ShotJob> jobs, int parallel, int timeoutMs);

    // Returns once every emulator has ended; `done` hears of each as it ends.
    QList<ShotJob> Run(const std::function<void(const ShotResult &)> &done);

    // Stops the emulators that run, which then fail as stopped, and starts no more.
    void Stop();

Q_SIGNALS:
    void allDone();

private:
    void StartNext();
    void Start(int index);
    void Finish(int index, QProcess *process, const QString &failure);

    QString emulator;
    QList<ShotJob> jobs;
    int parallel;
    int timeoutMs;
    QProcessEnvironment environment;
    qsizetype next = 0;
    int running = 0;
    bool stopped = false;
    std::function<void(const ShotResult &)> report;
};

// The whole program: arguments without the program name; returns the exit status.
int RunShots(const QStringList &arguments);
