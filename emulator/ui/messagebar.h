#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QHBoxLayout;
class QPushButton;

// A line above the page for what the page or the engine asks or reports, with its buttons:
// never modal, so the window can always be closed whatever the page does.
class MessageBar : public QWidget
{
    Q_OBJECT

public:
    explicit MessageBar(QWidget *parent = nullptr);

    // Replaces whatever was shown; `input` shows a text field holding it (a prompt).
    void Show(const QString &text, const QStringList &buttons, const QString *input = nullptr);
    QString inputText() const;

Q_SIGNALS:
    // The button's index in the list given to Show(); the bar hides itself first.
    void answered(int button);

private:
    QLabel *label;
    QLineEdit *field;
    QHBoxLayout *buttonRow;
    QList<QPushButton *> shown;
};
