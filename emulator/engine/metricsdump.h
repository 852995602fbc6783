#pragma once

#include <QJsonObject>

#include <functional>

class BrowserPage;

// Measures, from inside the page's own world, everything a page can learn about the device
// and browser it runs in, and hands it to `done` as JSON: empty when the page could not say.
void MeasurePage(BrowserPage *page, const std::function<void(const QJsonObject &)> &done);
