#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

struct Placement
{
    QPoint position;
    int choice = 0; // which of the sizes offered
};

// Where a new window goes among the `existing` frames (other windows, ours and not) within
// `available`, at least `gap` away from every one. `sizes` are the window's frame at each
// display zoom it may take, the preferred first: the first that has a free place takes it,
// the first such place in reading order; rows start at the top, level with other windows and
// below them, places in a row at the left and at either side of them. When none fits, the
// smallest goes where it covers the least of the others, never onto another's corner. The
// same frames always give the same place.
Placement PlaceWindow(const QList<QRect> &existing, const QList<QSize> &sizes,
                      const QRect &available, int gap);
