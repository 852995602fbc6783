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
    return QSize(widestRow + barExtent + 5, 192);
}

// Uniform sizes make every row as wide as the first, which left longer names beyond the
// horizontal scroll range. A grid as wide as the widest row, measured once for the rows
// added, keeps the uniform layout and reaches the end of every name.
void ProfileQListWidget::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QListWidget::rowsInserted(parent, start, end);
    widestRow = qMax(widestRow, WidestRow(start, end));
    setGridSize(QSize(widestRow, sizeHintForIndex(model()->index(start, 0)).height()));
    updateGeometry();
}

// Measuring a row lays out its text, which costs tens of microseconds. With many rows the
// widths are first estimated from cached character advances, and only the rows estimated
// widest are measured.
int ProfileQListWidget::WidestRow(int first, int last) const
{
    int widest = 0;
    const auto measure = [&](int row) {
        widest = qMax(widest, sizeHintForIndex(model()->index(row, 0)).width());
    };
    if (last - first < MeasureAllRows) {
        for (int row = first; row <= last; ++row)
            measure(row);
        return widest;
    }

    const QFontMetrics metrics(font());
    QHash<char16_t, int> advances;
    QList<std::pair<int, int>> estimates; // estimated width, row
    estimates.reserve(last - first + 1);
    for (int row = first; row <= last; ++row) {
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
    for (auto it = estimates.cbegin(); it != candidates; ++it)
        measure(it->second);
    return widest;
}
