#include "windowplacement.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <set>

namespace {

// Where windows go when none has a free place, and how near another's corner counts as on it.
constexpr int CascadeStep = 32;
constexpr int MaxCascadePlaces = 64; // across and down

bool IsFree(const QRect &candidate, const QList<QRect> &existing, int gap)
{
    return std::none_of(existing.cbegin(), existing.cend(), [&](const QRect &other) {
        return candidate.intersects(other.adjusted(-gap, -gap, gap, gap));
    });
}

std::optional<QPoint> FreePlace(const QList<QRect> &existing, QSize size, const QRect &available,
                                int gap)
{
    std::set<int> rows{available.top()};
    std::set<int> columns{available.left()};
    for (const QRect &other : existing) {
        rows.insert(other.top());
        rows.insert(other.bottom() + 1 + gap);
        columns.insert(other.right() + 1 + gap);
        columns.insert(other.left() - gap - size.width());
    }
    for (int y : rows) {
        for (int x : columns) {
            const QRect candidate(QPoint(x, y), size);
            if (available.contains(candidate) && IsFree(candidate, existing, gap))
                return candidate.topLeft();
        }
    }
    return std::nullopt;
}

qint64 Covered(const QRect &candidate, const QList<QRect> &existing)
{
    qint64 area = 0;
    for (const QRect &other : existing) {
        const QRect both = candidate.intersected(other);
        area += qint64(both.width()) * both.height();
    }
    return area;
}

bool OnCorner(QPoint corner, const QList<QRect> &existing)
{
    return std::any_of(existing.cbegin(), existing.cend(), [&](const QRect &other) {
        const QPoint away = other.topLeft() - corner;
        return qAbs(away.x()) < CascadeStep / 2 && qAbs(away.y()) < CascadeStep / 2;
    });
}

// The places a step apart where the window is on the screen, or at its top left when it is
// larger: the one covering the least, in reading order, and off every other's corner as long
// as one is.
QPoint LeastCovering(const QList<QRect> &existing, QSize size, const QRect &available)
{
    // Steps grow on a screen so large that the places would be too many to weigh.
    const QSize room = (available.size() - size).expandedTo(QSize(0, 0));
    const QPoint step(qMax(CascadeStep, room.width() / MaxCascadePlaces),
                      qMax(CascadeStep, room.height() / MaxCascadePlaces));
    const int xs = room.width() / step.x();
    const int ys = room.height() / step.y();
    QPoint best = available.topLeft();
    std::pair<bool, qint64> least{true, std::numeric_limits<qint64>::max()};
    for (int j = 0; j <= ys; ++j) {
        for (int i = 0; i <= xs; ++i) {
            const QPoint corner = available.topLeft() + QPoint(i * step.x(), j * step.y());
            const std::pair<bool, qint64> cost{OnCorner(corner, existing),
                                               Covered(QRect(corner, size), existing)};
            if (cost < least) {
                least = cost;
                best = corner;
            }
        }
    }
    return best;
}

} // namespace

Placement PlaceWindow(const QList<QRect> &existing, const QList<QSize> &sizes,
                      const QRect &available, int gap)
{
    if (sizes.isEmpty())
        return {available.topLeft(), 0};
    for (int i = 0; i < sizes.size(); ++i) {
        if (const std::optional<QPoint> place = FreePlace(existing, sizes.at(i), available, gap))
            return {*place, i};
    }
    const int smallest = static_cast<int>(sizes.size()) - 1;
    return {LeastCovering(existing, sizes.at(smallest), available), smallest, false};
}

std::optional<QList<Placement>> ShareScreen(const QList<QList<QSize>> &windows,
                                            const QList<QRect> &fixed, const QRect &available,
                                            int gap)
{
    qsizetype levels = 0;
    for (const QList<QSize> &sizes : windows)
        levels = qMax(levels, sizes.size());
    for (qsizetype level = 0; level < levels; ++level) {
        QList<QRect> taken = fixed;
        QList<Placement> placements;
        for (const QList<QSize> &sizes : windows) {
            if (sizes.isEmpty())
                return std::nullopt;
            const int choice = static_cast<int>(qMin(level, sizes.size() - 1));
            const std::optional<QPoint> place = FreePlace(taken, sizes.at(choice), available, gap);
            if (!place)
                break;
            placements.append({*place, choice});
            taken.append(QRect(*place, sizes.at(choice)));
        }
        if (placements.size() == windows.size())
            return placements;
    }
    return std::nullopt;
}
