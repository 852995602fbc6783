#pragma once

#include <QList>
#include <QRect>

// The launcher's top-level windows on this display, frames included, found by their X11
// class (the launcher is another process); none where that cannot be known.
QList<QRect> LauncherWindows();
