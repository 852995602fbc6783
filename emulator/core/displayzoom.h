#pragma once

#include <QList>
#include <QSize>

// The display zoom: how many of the host's device-independent pixels show one CSS pixel.
// 1.0 (100%) shows one CSS pixel per screen pixel; it never changes what the page sees.
namespace DisplayZoom {

// The zoom menu's steps, in percent.
QList<int> Steps();

// The largest zoom, not above 1.0, at which a device of `cssSize` plus `chromeHeight`
// host pixels of toolbar fits `available`; never below the smallest step's half.
qreal Fit(QSize cssSize, QSize available, int chromeHeight);

// The next step above or below `zoom`.
qreal ZoomIn(qreal zoom);
qreal ZoomOut(qreal zoom);

} // namespace DisplayZoom
