#include "shotsrun.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    return RunShots(QCoreApplication::arguments().mid(1));
}
