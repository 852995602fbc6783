#pragma once

#include "core/emulatorrequest.h"

#include <QMargins>
#include <QSize>
#include <QSizeF>

// What the emulated device is, in the orientation it is held: everything a page may
// measure of its screen follows from this.
struct Device
{
    QSize pixels{480, 800}; // the screen in device pixels, as currently held
    qreal ratio = 1;        // device pixels per CSS pixel (ppi / 160)
    InputMethod input = InputMethod::Mouse;
    // CSS pixels the page should keep clear of a notch or rounded corners, as held.
    QMargins safeArea;
    bool turned = false; // a quarter turn from the window size as given

    static Device FromRequest(const EmulatorRequest &request);

    bool isLandscape() const { return pixels.width() > pixels.height(); }
    // The screen in CSS pixels, rounded up as browsers do (1080x2400 at 2.625: 412x915).
    QSize cssSize() const;
    // The same device turned by a quarter, its notch going with it: the top edge becomes the
    // left one, as on a phone turned to landscape.
    Device rotated() const;
    // Insets given for the screen as the window size has it, and back.
    void SetSafeArea(const QMargins &asGiven);
    QMargins safeAreaAsGiven() const;
    // "portraitPrimary" or "landscapePrimary", with its angle (0 or 90).
    QString orientationType() const;
    int orientationAngle() const;
};
