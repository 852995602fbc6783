#pragma once

#include <QWebEngineView>

class DevToolsChannel;

// The engine's inspector for the emulated page, in a window of its own. It shows the
// channel's own inspector page, so the emulation stays as it is.
class InspectorWindow : public QWebEngineView
{
    Q_OBJECT

public:
    explicit InspectorWindow(DevToolsChannel *channel, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    DevToolsChannel *devTools;
};
