#include "profileqlistwidget.h"

#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

ProfileQListWidget::ProfileQListWidget(QWidget *parent) : QListWidget(parent) {}

QSize ProfileQListWidget::sizeHint() const
{
    const QScrollBar *bar = verticalScrollBar();
    QStyleOptionSlider option;
    const int barExtent = bar->style()->pixelMetric(QStyle::PM_ScrollBarExtent, &option, bar);
    return QSize(sizeHintForColumn(0) + barExtent + 5, 192);
}
