#include "ui/messagebar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

MessageBar::MessageBar(QWidget *parent)
    : QWidget(parent), label(new QLabel), field(new QLineEdit), buttonRow(new QHBoxLayout)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText); // the page's words, never markup
    label->setForegroundRole(QPalette::ToolTipText);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(field);
    buttonRow->addStretch();
    layout->addLayout(buttonRow);
    connect(field, &QLineEdit::returnPressed, this, [this] {
        if (!shown.isEmpty())
            shown.first()->click();
    });
    hide();
}

void MessageBar::Show(const QString &text, const QStringList &buttons, const QString *input)
{
    qDeleteAll(shown);
    shown.clear();
    label->setText(text);
    field->setVisible(input != nullptr);
    if (input)
        field->setText(*input);
    for (const QString &title : buttons) {
        auto *button = new QPushButton(title);
        const int index = int(shown.size());
        connect(button, &QPushButton::clicked, this, [this, index] {
            hide();
            Q_EMIT answered(index);
        });
        buttonRow->addWidget(button);
        shown.append(button);
    }
    show();
    if (input)
        field->setFocus();
}

QString MessageBar::inputText() const
{
    return field->text();
}
