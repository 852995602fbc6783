#pragma once

#include <QListWidget>

// The profile list: just wide enough for its longest name beside a scroll bar, and
// scrolling sideways to the end of every name when it is narrower.
class ProfileQListWidget : public QListWidget
{
    Q_OBJECT

public:
    explicit ProfileQListWidget(QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void rowsInserted(const QModelIndex &parent, int start, int end) override;

private:
    int WidestRow(int first, int last) const;

    int widestRow = 0;
};
