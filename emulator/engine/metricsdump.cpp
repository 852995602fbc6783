#include "metricsdump.h"

#include <QJsonDocument>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>

namespace {

constexpr int PollIntervalMs = 50;

// Runs in the page's own world, so it sees what the page's scripts see. The high-entropy
// client hints arrive later, so the result is left in a global for TakeResult.
const QString MeasureScript = QStringLiteral(R"JS(
(function () {
  const query = function (q) { return matchMedia(q).matches; };
  const m = {
    innerWidth: innerWidth, innerHeight: innerHeight, devicePixelRatio: devicePixelRatio,
    screenWidth: screen.width, screenHeight: screen.height,
    orientation: screen.orientation ? screen.orientation.type : '',
    orientationQuery: query('(orientation: portrait)') ? 'portrait' :
                      query('(orientation: landscape)') ? 'landscape' : '',
    pointer: query('(pointer: coarse)') ? 'coarse' : query('(pointer: fine)') ? 'fine' :
             query('(pointer: none)') ? 'none' : '',
    hover: query('(hover: hover)') ? 'hover' : query('(hover: none)') ? 'none' : '',
    maxTouchPoints: navigator.maxTouchPoints, touchEvents: 'ontouchstart' in window,
    userAgent: navigator.userAgent, platform: navigator.platform, vendor: navigator.vendor,
    visualViewportScale: window.visualViewport ? visualViewport.scale : 1,
    clientWidth: document.documentElement ? document.documentElement.clientWidth : 0,
    userAgentData: null
  };
  window.__velmoraMetrics = '';
  const finish = function () { window.__velmoraMetrics = JSON.stringify(m); };
  const data = navigator.userAgentData;
  if (!data) { finish(); return; }
  m.userAgentData = {brands: data.brands, mobile: data.mobile, platform: data.platform};
  data.getHighEntropyValues(['architecture', 'model', 'platformVersion', 'uaFullVersion',
                             'fullVersionList'])
    .then(function (v) {
      for (const k of ['architecture', 'model', 'platformVersion', 'uaFullVersion',
                       'fullVersionList'])
        m.userAgentData[k] = v[k];
    }, function () {})
    .then(finish);
})();
)JS");

const QString TakeResult = QStringLiteral(
    "(function () { const r = window.__velmoraMetrics || ''; if (r) delete window.__velmoraMetrics;"
    " return r; })()");

void Poll(const QPointer<QWebEnginePage> &page,
          const std::function<void(const QJsonObject &)> &done)
{
    if (!page)
        return;
    page->runJavaScript(TakeResult, [page, done](const QVariant &result) {
        const QString text = result.toString();
        if (!text.isEmpty()) {
            done(QJsonDocument::fromJson(text.toUtf8()).object());
            return;
        }
        QTimer::singleShot(PollIntervalMs, page, [page, done] { Poll(page, done); });
    });
}

} // namespace

void MeasurePage(QWebEnginePage *page, const std::function<void(const QJsonObject &)> &done)
{
    page->runJavaScript(MeasureScript);
    Poll(QPointer<QWebEnginePage>(page), done);
}
