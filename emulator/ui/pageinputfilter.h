#pragma once

#include "emulatorrequest.h"

#include <QObject>
#include <QPoint>

#include <functional>

class QWebEngineView;

// What the protocol leaves to the window, on the page only (never on the toolbar): keys
// takes the pointer away from the page, yet a right click still opens the window's menu.
// The engine renders into a child widget of the view that it may replace, so the filter
// follows the view's children.
class PageInputFilter : public QObject
{
    Q_OBJECT

public:
    using MenuRequest = std::function<void(const QPoint &globalPosition)>;

    PageInputFilter(QWebEngineView *pageView, InputMethod emulated, MenuRequest menuRequest);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Watch(QObject *child);

    QWebEngineView *view;
    MenuRequest showMenu;
};
