#include "adddlg.h"
#include "uitestsupport.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

// A name row, a number row and a row of a type that constrains nothing.
QList<AddDlgField> ThreeRows()
{
    return {{AddDlgField::FieldText, QStringLiteral("Name:"), nullptr},
            {AddDlgField::FieldNumber, QStringLiteral("Width:"), nullptr},
            {7, QStringLiteral("Other:"), nullptr}};
}

} // namespace

class TestAddDlg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();

    void okFollowsRows_data();
    void okFollowsRows();
    void rowsKeepCallerOrder();
    void emptyFieldList();
    void result_data();
    void result();
};

void TestAddDlg::cleanup()
{
    QVERIFY(!QApplication::activeModalWidget());
}

void TestAddDlg::okFollowsRows_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");  // typed key by key into the number row
    QTest::addColumn<QString>("number"); // what the validator lets through
    QTest::addColumn<bool>("enabled");

    QTest::newRow("both empty") << ""
                                << ""
                                << "" << false;
    QTest::newRow("name empty") << ""
                                << "10"
                                << "10" << false;
    QTest::newRow("number empty") << "Phone"
                                  << ""
                                  << "" << false;
    QTest::newRow("lone blank") << " "
                                << "10"
                                << "10" << true;
    QTest::newRow("double quote") << "a\"b"
                                  << "10"
                                  << "10" << false;
    QTest::newRow("leading zero refused") << "Phone"
                                          << "0"
                                          << "" << false;
    QTest::newRow("zero inside kept") << "Phone"
                                      << "010"
                                      << "10" << true;
    QTest::newRow("letters refused") << "Phone"
                                     << "a-+ 5"
                                     << "5" << true;
    QTest::newRow("largest") << "Phone"
                             << "2147483647"
                             << "2147483647" << true;
    QTest::newRow("too large") << "Phone"
                               << "2147483648"
                               << "2147483648" << false;
}

void TestAddDlg::okFollowsRows()
{
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(QString, number);
    QFETCH(bool, enabled);

    AddDlg dialog(nullptr, QStringLiteral("Add"), ThreeRows());
    QPushButton *ok = qobject_cast<QPushButton *>(FindButton(&dialog, QStringLiteral("OK")));
    QVERIFY(ok);
    QVERIFY(!ok->isEnabled());

    QTest::keyClicks(dialog.fields[0].edit, name);
    QTest::keyClicks(dialog.fields[1].edit, typed);
    QCOMPARE(dialog.fields[1].edit->text(), number);
    QCOMPARE(ok->isEnabled(), enabled);

    // Clearing either constrained row takes OK away again.
    if (enabled) {
        for (int row : {0, 1}) {
            const QString before = dialog.fields[row].edit->text();
            dialog.fields[row].edit->clear();
            QVERIFY(!ok->isEnabled());
            QTest::keyClicks(dialog.fields[row].edit, before);
            QVERIFY(ok->isEnabled());
        }
    }
}

void TestAddDlg::rowsKeepCallerOrder()
{
    AddDlg dialog(nullptr, QStringLiteral("Add Resolution"), ThreeRows());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Add Resolution"));
    QVERIFY(dialog.isSizeGripEnabled());

    auto *form = dialog.findChild<QFormLayout *>();
    QVERIFY(form);
    QCOMPARE(form->rowCount(), 3);
    const QList<AddDlgField> expected = ThreeRows();
    QCOMPARE(dialog.fields.size(), expected.size());
    for (int row = 0; row < form->rowCount(); ++row) {
        auto *label = qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget());
        QCOMPARE(label->text(), expected[row].label);
        QVERIFY(dialog.fields[row].edit);
        QCOMPARE(form->itemAt(row, QFormLayout::FieldRole)->widget(), dialog.fields[row].edit);
    }
}

void TestAddDlg::emptyFieldList()
{
    AddDlg dialog(nullptr, QStringLiteral("Nothing"), {});
    QVERIFY(dialog.findChildren<QLineEdit *>().isEmpty());
    const auto buttons = dialog.findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 2);
    auto *box = dialog.findChild<QDialogButtonBox *>();
    QCOMPARE(box->buttonRole(FindButton(&dialog, QStringLiteral("OK"))),
             QDialogButtonBox::AcceptRole);
    QCOMPARE(box->buttonRole(FindButton(&dialog, QStringLiteral("Cancel"))),
             QDialogButtonBox::RejectRole);
    QVERIFY(!FindButton(&dialog, QStringLiteral("OK"))->isEnabled());
    QVERIFY(FindButton(&dialog, QStringLiteral("Cancel"))->isEnabled());
}

void TestAddDlg::result_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("expected");

    QTest::newRow("OK") << "OK" << int(QDialog::Accepted);
    QTest::newRow("Cancel") << "Cancel" << int(QDialog::Rejected);
    QTest::newRow("Escape") << "Escape" << int(QDialog::Rejected);
    QTest::newRow("close") << "close" << int(QDialog::Rejected);
}

void TestAddDlg::result()
{
    QFETCH(QString, answer);
    QFETCH(int, expected);

    AddDlg dialog(nullptr, QStringLiteral("Add Pixel Density"),
                  {{AddDlgField::FieldText, QStringLiteral("Name:"), nullptr},
                   {AddDlgField::FieldNumber, QStringLiteral("Pixel Density:"), nullptr}});
    AnswerNextModal([answer](QWidget *modal) {
        auto *shown = qobject_cast<AddDlg *>(modal);
        QTest::keyClicks(shown->fields[0].edit, QStringLiteral("High"));
        QTest::keyClicks(shown->fields[1].edit, QStringLiteral("320"));
        if (answer == QLatin1String("Escape"))
            QTest::keyClick(modal, Qt::Key_Escape);
        else if (answer == QLatin1String("close"))
            modal->close();
        else
            ClickButton(modal, answer);
    });
    QCOMPARE(dialog.exec(), expected);
    QCOMPARE(dialog.fields[0].edit->text(), QStringLiteral("High"));
    QCOMPARE(dialog.fields[1].edit->text(), QStringLiteral("320"));
}

QTEST_MAIN(TestAddDlg)
#include "tst_adddlg.moc"
