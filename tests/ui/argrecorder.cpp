// Stands in for the emulator in tests: writes the arguments it was started with, one per
// line, to the file that VELMORA_RECORD_FILE names.
#include <QCoreApplication>
#include <QFile>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString path = qEnvironmentVariable("VELMORA_RECORD_FILE");
    // Written under another name first, so the test never reads half a record.
    QFile file(path + QStringLiteral(".part"));
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly))
        return 2;
    file.write(QCoreApplication::arguments().mid(1).join(QLatin1Char('\n')).toUtf8());
    file.close();
    return file.rename(path) ? 0 : 3;
}
