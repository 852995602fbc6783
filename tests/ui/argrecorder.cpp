// Stands in for the emulator in tests: records the arguments it was started with, one per
// line, in a new file inside the directory that VELMORA_RECORD_DIR names.
#include <QCoreApplication>
#include <QFile>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString dir = qEnvironmentVariable("VELMORA_RECORD_DIR");
    if (dir.isEmpty())
        return 2;
    // Written under another name first, so a reader never sees half a record.
    const QString path = dir + QStringLiteral("/launch-%1").arg(QCoreApplication::applicationPid());
    QFile file(path + QStringLiteral(".part"));
    if (!file.open(QIODevice::WriteOnly))
        return 3;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (const QString &argument : arguments)
        file.write(argument.toUtf8() + '\n');
    file.close();
    return file.rename(path + QStringLiteral(".args")) ? 0 : 4;
}
