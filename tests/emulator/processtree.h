#pragma once

#include <QtCore>

// `pid` and all its descendants (Linux).
inline QList<qint64> ProcessTree(qint64 pid)
{
    QList<qint64> tree{pid};
    for (int i = 0; i < tree.size(); ++i) {
        QFile children(QString("/proc/%1/task/%1/children").arg(tree[i]));
        if (children.open(QIODevice::ReadOnly))
            for (const QByteArray &child : children.readAll().split(' '))
                if (!child.trimmed().isEmpty())
                    tree.append(child.toLongLong());
    }
    return tree;
}

// How many of `pids` still run; a zombie has ended, its parent only has not reaped it yet.
inline int Alive(const QList<qint64> &pids)
{
    return int(std::count_if(pids.begin(), pids.end(), [](qint64 pid) {
        QFile stat(QString("/proc/%1/stat").arg(pid));
        return stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ");
    }));
}
