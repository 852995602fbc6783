#include "profileqlistwidget.h"

#include <QHash>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

namespace {

// Up to this many rows every row is measured; beyond it only the likely widest are.
constexpr int MeasureAllRows = 200;
constexpr int MeasuredCandidates = 32;

} // namespace

ProfileQListWidget::ProfileQListWidget(QWidget *parent) : QListWidget(parent)
{
    // Every row is one line of text in the list's font, so one row's height serves for all
    // and laying out thousands of profiles does not measure each of them.
    setUniformItemSizes(true);
}

QSize ProfileQListWidget::sizeHint() const
{
    const QScrollBar *bar = verticalScrollBar();
    QStyleOptionSlider option;
    const int barExtent = bar->style()->pixelMetric(QStyle::PM_ScrollBarExtent, &option, bar);
    return QSize(WidestRow() + barExtent + 5, 192);
}

// Measuring a row lays out its text, which costs tens of microseconds. With many rows the
// widths are first estimated from cached character advances, and only the rows estimated
// widest are measured.
int ProfileQListWidget::WidestRow() const
{
    if (count() <= MeasureAllRows)
        return sizeHintForColumn(0);

    const QFontMetrics metrics(font());
    QHash<char16_t, int> advances;
    QList<std::pair<int, int>> estimates; // estimated width, row
    estimates.reserve(count());
    for (int row = 0; row < count(); ++row) {
        int width = 0;
        for (const QChar ch : item(row)->text()) {
            auto advance = advances.constFind(ch.unicode());
            if (advance == advances.cend())
                advance = advances.insert(ch.unicode(), metrics.horizontalAdvance(ch));
            width += *advance;
        }
        estimates.append({width, row});
    }
    const auto candidates = estimates.begin() + MeasuredCandidates;
    std::partial_sort(estimates.begin(), candidates, estimates.end(),
                      [](const auto &a, const auto &b) { return a.first > b.first; });

    int widest = 0;
    for (auto it = estimates.cbegin(); it != candidates; ++it)
        widest = qMax(widest, sizeHintForIndex(indexFromItem(item(it->second))).width());
    return widest;
}
