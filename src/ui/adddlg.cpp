#include "adddlg.h"

#include "configmodel.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QVBoxLayout>

AddDlg::AddDlg(QWidget *parent, const QString &title, QList<AddDlgField> fieldList)
    : QDialog(parent), fields(std::move(fieldList))
{
    setWindowTitle(title);
    setSizeGripEnabled(true);

    auto *outerLayout = new QVBoxLayout;
    auto *form = new QFormLayout;
    const QRegularExpression numberPattern(QStringLiteral("^[1-9]+[0-9]*$"));
    for (AddDlgField &field : fields) {
        field.edit = new QLineEdit;
        if (field.type == AddDlgField::FieldNumber)
            field.edit->setValidator(new QRegularExpressionValidator(numberPattern, this));
        connect(field.edit, &QLineEdit::textChanged, this, &AddDlg::OnTextEdit);
        form->addRow(field.label, field.edit);
    }
    outerLayout->addLayout(form, 0);

    auto *buttonBox = new QDialogButtonBox;
    okButton = new QPushButton(QStringLiteral("OK"));
    auto *cancelButton = new QPushButton(QStringLiteral("Cancel"));
    buttonBox->addButton(okButton, QDialogButtonBox::AcceptRole);
    buttonBox->addButton(cancelButton, QDialogButtonBox::RejectRole);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    okButton->setEnabled(false);
    outerLayout->addWidget(buttonBox, 0);
    setLayout(outerLayout);

    // Wide enough for the title beside the window's icon and title-bar buttons.
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    setMinimumWidth(fontMetrics().horizontalAdvance(title) + 4 * titleBar);
}

AddDlg::~AddDlg() = default;

void AddDlg::OnTextEdit()
{
    bool valid = true;
    for (const AddDlgField &field : std::as_const(fields)) {
        const QString text = field.edit->text();
        if (field.type == AddDlgField::FieldText) {
            valid = !text.isEmpty() && UnstorableNamePart(text).isEmpty();
        } else if (field.type == AddDlgField::FieldNumber) {
            bool ok = false;
            const int number = text.toInt(&ok, 10);
            // Text set from code bypasses the validator; a sign or blank must not pass.
            valid = field.edit->hasAcceptableInput() && ok && number >= 1;
        }
        if (!valid)
            break;
    }
    if (okButton)
        okButton->setEnabled(valid);
}
