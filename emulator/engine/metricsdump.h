#pragma once

#include <QJsonObject>

#include <functional>

class QWebEnginePage;

// Measures, from inside `page`, everything a page can learn about the device and browser
// it runs in, and hands it to `done` as JSON. `done` is not called while the page cannot
// run scripts; callers keep their own deadline.
void MeasurePage(QWebEnginePage *page, const std::function<void(const QJsonObject &)> &done);
