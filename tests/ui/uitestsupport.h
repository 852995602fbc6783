#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

inline QAbstractButton *FindButton(QWidget *dialog, const QString &caption)
{
    const auto buttons = dialog->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        if (button->text().remove(QLatin1Char('&')) == caption)
            return button;
    }
    return nullptr;
}

// Answers the modal dialogs shown while it lives, in the order they appear, so the product
// calls the real dialogs and the test answers them like a user. A step "=a|b" pastes a and b
// into the dialog's line edits and presses OK; any other step presses the button of that
// caption. A dialog beyond the script is rejected and counted: it fails the test instead of
// hanging it.
class AnswerModals
{
public:
    explicit AnswerModals(QStringList script) : steps(std::move(script))
    {
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { AnswerNext(); });
        timer.start(5);
    }
    bool Done() const { return steps.isEmpty() && unexpected == 0; }

    QStringList seen; // title and text of each message box

private:
    void AnswerNext()
    {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        // An answered dialog closes at once; one that stays open takes the next step.
        if (!dialog || !dialog->isVisible())
            return;
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            seen << box->windowTitle() + QLatin1Char('\n') + box->text();
        if (steps.isEmpty()) {
            ++unexpected;
            dialog->reject();
            return;
        }
        QString step = steps.takeFirst();
        if (step.startsWith(QLatin1Char('='))) {
            const auto edits = dialog->findChildren<QLineEdit *>();
            const QStringList texts = step.mid(1).split(QLatin1Char('|'));
            for (int i = 0; i < texts.size(); ++i)
                edits.value(i)->insert(texts[i]);
            step = QStringLiteral("OK");
        }
        FindButton(dialog, step)->click();
    }

    QStringList steps;
    int unexpected = 0;
    QTimer timer;
};
