#pragma once

#include <QString>
#include <QStringList>

// What velmora-shots was asked for on its command line.
struct ShotsOptions
{
    QString address;          // the page, as an absolute URL
    QString outputDirectory;  // as given
    QStringList profileNames; // in the order given, each once; empty: every profile
    int jobs = 2;             // emulators at once
    int timeoutSeconds = 90;  // per emulator, before it is stopped
    bool helpRequested = false;
    QString error; // why the command line cannot be used; empty when it can
};

// `arguments` excludes the program name. A local path becomes a file: URL.
ShotsOptions ParseShotsArguments(const QStringList &arguments, const QString &workingDirectory);

QString ShotsHelpText();
