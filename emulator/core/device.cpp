#include "core/device.h"

#include <QtMath>

Device Device::FromRequest(const EmulatorRequest &request)
{
    Device device;
    device.pixels = request.windowSize;
    device.ratio = qreal(request.ppi) / EmulatorOption::BaselinePpi;
    device.input = request.input;
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
    Device turned = *this;
    turned.pixels.transpose();
    return turned;
}

QString Device::orientationType() const
{
    return isLandscape() ? QStringLiteral("landscapePrimary") : QStringLiteral("portraitPrimary");
}

int Device::orientationAngle() const
{
    return isLandscape() ? 90 : 0;
}
