#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

struct Placement
{
    QPoint position;
    int choice = 0;   // which of the sizes offered
    bool free = true; // false: no place was free, it covers others
};

// Where a new window goes among the `existing` frames (other windows, ours and not) within
// `available`, at least `gap` away from every one. `sizes` are the window's frame at each
// display zoom it may take, the preferred first: the first that has a free place takes it,
// the first such place in reading order; rows start at the top, level with other windows and
// below them, places in a row at the left and at either side of them. When none fits, the
// last size goes where it covers the least of the others, off every other's corner while
// the screen has room for that. The
// same frames always give the same place.
Placement PlaceWindow(const QList<QRect> &existing, const QList<QSize> &sizes,
                      const QRect &available, int gap);

// Every window of `windows` (each with its frame sizes, the preferred first) placed anew,
// in order, clear of the `fixed` frames and of one another: all at their first size where
// they fit so, else all a size further down their lists, and so on. Nothing when even
// their smallest sizes do not fit side by side.
std::optional<QList<Placement>> ShareScreen(const QList<QList<QSize>> &windows,
                                            const QList<QRect> &fixed, const QRect &available,
                                            int gap);
