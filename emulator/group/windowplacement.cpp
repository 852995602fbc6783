#include "windowplacement.h"

#include <algorithm>
#include <set>

namespace {

constexpr int CascadeStep = 32;
constexpr int CascadeSteps = 8;

bool IsFree(const QRect &candidate, const QList<QRect> &existing, int gap)
{
    return std::none_of(existing.cbegin(), existing.cend(), [&](const QRect &other) {
        return candidate.intersects(other.adjusted(-gap, -gap, gap, gap));
    });
}

} // namespace

QPoint PlaceWindow(const QList<QRect> &existing, QSize size, const QRect &available, int gap)
{
    std::set<int> rows{available.top()};
    std::set<int> columns{available.left()};
    for (const QRect &other : existing) {
        rows.insert(other.bottom() + 1 + gap);
        columns.insert(other.right() + 1 + gap);
    }
    for (int y : rows) {
        for (int x : columns) {
            const QRect candidate(QPoint(x, y), size);
            if (available.contains(candidate) && IsFree(candidate, existing, gap))
                return candidate.topLeft();
        }
    }
    const int step = CascadeStep * static_cast<int>(existing.size() % CascadeSteps);
    QPoint corner = available.topLeft() + QPoint(step, step);
    // Kept on the screen as far as the window's size allows.
    corner.setX(qMax(available.left(), qMin(corner.x(), available.right() + 1 - size.width())));
    corner.setY(qMax(available.top(), qMin(corner.y(), available.bottom() + 1 - size.height())));
    return corner;
}
