#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class QLineEdit;
class QPushButton;

// One input row of AddDlg. The caller fills `type` and `label`; the dialog sets `edit` in
// its own copy of the rows.
struct AddDlgField
{
    enum FieldType
    {
        FieldText = 0,  // free text, not empty, that the file can hold as a name
        FieldNumber = 1 // a whole number from 1 to 2147483647
    };

    int type = FieldText; // any other value places no constraint on the row
    QString label;
    QLineEdit *edit = nullptr;
};

// A small modal dialog of labelled line edits, one per row, whose OK button stays disabled
// until every row holds acceptable input. The caller runs it with exec() and, after
// Accepted, reads the typed texts through `fields`.
class AddDlg : public QDialog
{
    Q_OBJECT

public:
    AddDlg(QWidget *parent, const QString &title, QList<AddDlgField> fieldList);
    ~AddDlg() override;

    QList<AddDlgField> fields;

public Q_SLOTS:
    void OnTextEdit();

private:
    QPushButton *okButton = nullptr;
};
