#include "inspectorwindow.h"

#include "devtoolschannel.h"

#include <QJsonObject>

namespace {
const QSize DefaultSize(960, 720);
}

InspectorWindow::InspectorWindow(DevToolsChannel *channel, QWidget *parent)
    : QWebEngineView(parent), devTools(channel)
{
    setWindowFlag(Qt::Window);
    devTools->unpark();
    setPage(devTools->toolsPage());
    resize(DefaultSize);
}

void InspectorWindow::showEvent(QShowEvent *event)
{
    QWebEngineView::showEvent(event);
    devTools->send(QStringLiteral("Debugger.setSkipAllPauses"), {{QStringLiteral("skip"), false}});
}

// A page stopped at a breakpoint with nobody to see it would look frozen.
void InspectorWindow::hideEvent(QHideEvent *event)
{
    devTools->send(QStringLiteral("Debugger.setSkipAllPauses"), {{QStringLiteral("skip"), true}});
    devTools->send(QStringLiteral("Debugger.resume"));
    QWebEngineView::hideEvent(event);
}
