#pragma once

#include <QApplication>
#include <QPointer>

class QWidget;

// A QApplication that lets only one process of the same identity run: the first becomes
// the primary and listens for messages; later ones hand their message over and quit.
// The identity is derived from the executable's path and the user unless one is given.
// A thin layer over the local channel library, which does the listening and the talking.
class QtSingleApplication : public QApplication
{
    Q_OBJECT

public:
    QtSingleApplication(int &argc, char **argv, bool GUIenabled = true,
                        const QString &id = QString());
    ~QtSingleApplication() override;

    // True when another process of this identity is the primary. When false, this process
    // has become the primary and listens from now on.
    bool isRunning();

    static constexpr int DefaultTimeoutMs = 5000;
    // Sends a message to the primary; true once it acknowledged it within the timeout.
    bool sendMessage(const QString &message, int timeout = DefaultTimeoutMs);

    void setActivationWindow(QWidget *window, bool activateOnMessage = true);
    QString serverName() const;

public Q_SLOTS:
    void activateWindow();

Q_SIGNALS:
    void messageReceived(const QString &message);

private:
    class Private;
    Private *d;
};
