#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where a new window of `size` (its frame) goes among the `existing` frames: the first free
// place in reading order within `available`, at least `gap` away from every other window;
// rows start at the top and below existing windows, places in a row at the left and right of
// them. The same frames always give the same place. When nothing fits, the windows cascade
// from the top left corner.
QPoint PlaceWindow(const QList<QRect> &existing, QSize size, const QRect &available, int gap);
