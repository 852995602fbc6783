#pragma once

#include "device.h"
#include "useragentdetails.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>

class DevToolsChannel;
class QWebEnginePage;

// Makes one page see the emulated device and browser, through the private protocol
// channel, for as long as this object lives; answers with screenshots at device pixels.
class PageEmulation : public QObject
{
    Q_OBJECT

public:
    using Captured = std::function<void(const QByteArray &png, const QString &problem)>;

    // `page` must outlive this object. Nothing is sent before Start().
    PageEmulation(QWebEnginePage *page, const Device &device, const UserAgentDetails &userAgent,
                  qreal zoom, QObject *parent = nullptr);
    ~PageEmulation() override;

    // Sends the whole emulation; `done` gets whether the engine answered. Load the first
    // page only afterwards, or it is measured without the emulation.
    void Start(const std::function<void(bool active)> &done);
    bool isActive() const { return active; }

    // For rotation and display zoom; the page keeps its document.
    void SetMetrics(const Device &device, qreal zoom);

    // The viewport, or the whole page, as PNG at device pixels. The on-screen size is
    // restored afterwards.
    void Capture(bool fullPage, Captured done);

    DevToolsChannel *channel() const { return devTools; }

private:
    void CaptureWithin(const QJsonObject &clip, Captured done);
    void RestoreMetrics();

    QWebEnginePage *page;
    DevToolsChannel *devTools;
    Device current;
    UserAgentDetails agent;
    qreal displayZoom;
    bool active = false;
};

// Page scripts for what the protocol cannot override: a browser without client hints has
// no navigator.userAgentData, and each browser names its own vendor. Empty when nothing
// needs changing.
QString UserAgentPageScript(const UserAgentDetails &userAgent);
