#include "group/launcherwindow.h"

QList<QRect> LauncherWindows()
{
    return {};
}
