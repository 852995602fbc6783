#pragma once

#include <QKeySequence>
#include <QList>
#include <QWidget>

// Placeholder until the embedding lands: finds another program's X11 window by its class and
// shows it inside this widget.
class ForeignWindowView : public QWidget
{
    Q_OBJECT

public:
    explicit ForeignWindowView(QWidget *parent = nullptr);
    static bool Supported();
    void Embed(const QByteArray &windowClass, qint64 pid, int timeoutMs);
    void FocusPage();
    void GrabShortcuts(const QList<QKeySequence> &keys);

Q_SIGNALS:
    void embedded();
    void failed(const QString &problem);
    void lost();
    void shortcutPressed(const QKeySequence &key);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void Find();

    QByteArray wanted;
    QWidget *container = nullptr;
    int attemptsLeft = 0;
};
