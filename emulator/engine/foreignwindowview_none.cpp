// Where no window of another process can be taken in (not X11): the page is rendered
// without a window, for screenshots and metrics, and this view says why it stays empty.
#include "engine/foreignwindowview.h"

#include <QTimer>

class ForeignWindowView::XThread
{
};

ForeignWindowView::ForeignWindowView(QWidget *parent) : QWidget(parent) {}

ForeignWindowView::~ForeignWindowView() = default;

bool ForeignWindowView::Supported()
{
    return false;
}

void ForeignWindowView::Embed(const QByteArray &, qint64, int)
{
    QTimer::singleShot(0, this, [this] {
        Q_EMIT failed(QStringLiteral("showing the browser's window needs X11"));
    });
}

void ForeignWindowView::GrabShortcuts(const QList<QKeySequence> &) {}

bool ForeignWindowView::nativeEventFilter(const QByteArray &, void *, qintptr *)
{
    return false;
}

bool ForeignWindowView::event(QEvent *event)
{
    return QWidget::event(event);
}

bool ForeignWindowView::eventFilter(QObject *watched, QEvent *event)
{
    return QWidget::eventFilter(watched, event);
}
