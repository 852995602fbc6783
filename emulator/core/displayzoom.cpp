#include "core/displayzoom.h"

#include <QtMath>

#include <algorithm>

namespace {

// Fitting never goes below half the smallest step: below that a page cannot be read, and
// the window scrolls instead.
qreal Floor()
{
    return DisplayZoom::Steps().constFirst() / 200.0;
}

// Zoom values compare equal within this, so 0.75 from a menu and from arithmetic agree.
constexpr qreal Tolerance = 1e-4;

} // namespace

namespace DisplayZoom {

QList<int> Steps()
{
    return {50, 75, 100, 125, 150, 200};
}

qreal Fit(QSize cssSize, QSize available, int chromeHeight)
{
    if (cssSize.isEmpty())
        return 1;
    const qreal zoom = std::min({qreal(1), qreal(available.width()) / cssSize.width(),
                                 qreal(available.height() - chromeHeight) / cssSize.height()});
    // Rounded down to a thousandth, so that the device rounded up to whole pixels still fits.
    return std::max(Floor(), qFloor(zoom * 1000 + Tolerance) / 1000.0);
}

qreal ZoomIn(qreal zoom)
{
    for (int step : Steps()) {
        if (step / 100.0 > zoom + Tolerance)
            return step / 100.0;
    }
    return zoom;
}

qreal ZoomOut(qreal zoom)
{
    const QList<int> steps = Steps();
    for (auto step = steps.crbegin(); step != steps.crend(); ++step) {
        if (*step / 100.0 < zoom - Tolerance)
            return *step / 100.0;
    }
    return zoom > Floor() + Tolerance ? Floor() : zoom;
}

} // namespace DisplayZoom
