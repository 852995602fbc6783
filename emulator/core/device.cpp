#include "core/device.h"

#include <QtMath>

namespace {

// A quarter turn anticlockwise: the top edge goes to the left, the right one to the top.
QMargins Turned(const QMargins &m)
{
    return QMargins(m.top(), m.right(), m.bottom(), m.left());
}

QMargins TurnedBack(const QMargins &m)
{
    return QMargins(m.bottom(), m.left(), m.top(), m.right());
}

} // namespace

Device Device::FromRequest(const EmulatorRequest &request)
{
    Device device;
    device.pixels = request.windowSize;
    device.ratio = qreal(request.ppi) / EmulatorOption::BaselinePpi;
    device.input = request.input;
    device.safeArea = request.safeArea;
    if (request.orientation != ScreenOrientation::Natural &&
        device.isLandscape() != (request.orientation == ScreenOrientation::Landscape))
        device = device.rotated();
    return device;
}

QSize Device::cssSize() const
{
    // The tolerance keeps exact quotients such as 1080 / 1.5 from being rounded up by the
    // error of the division.
    const auto css = [this](int side) { return qCeil(side / ratio - 1e-6); };
    return QSize(css(pixels.width()), css(pixels.height()));
}

Device Device::rotated() const
{
    Device next = *this;
    next.pixels.transpose();
    next.safeArea = turned ? TurnedBack(safeArea) : Turned(safeArea);
    next.turned = !turned;
    return next;
}

void Device::SetSafeArea(const QMargins &asGiven)
{
    safeArea = turned ? Turned(asGiven) : asGiven;
}

QMargins Device::safeAreaAsGiven() const
{
    return turned ? TurnedBack(safeArea) : safeArea;
}

QString Device::orientationType() const
{
    return isLandscape() ? QStringLiteral("landscapePrimary") : QStringLiteral("portraitPrimary");
}

int Device::orientationAngle() const
{
    return isLandscape() ? 90 : 0;
}
