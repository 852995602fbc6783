#pragma once

#include <QListWidget>

// The profile list: just wide enough for its longest name beside a scroll bar.
class ProfileQListWidget : public QListWidget
{
    Q_OBJECT

public:
    explicit ProfileQListWidget(QWidget *parent = nullptr);

    QSize sizeHint() const override;

private:
    int WidestRow() const;
};
