#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
struct CheckReport;

// The report of an integrity check: deleted, moved, new and changed files in
// four ordinary, editable text boxes.
class Treport_form : public QDialog {
    Q_OBJECT
public:
    explicit Treport_form(QWidget* parent = nullptr);

    QLabel* Label1;
    QPlainTextEdit* Memo1;
    QLabel* Label2;
    QPlainTextEdit* Memo2;
    QLabel* Label3;
    QPlainTextEdit* Memo3;
    QLabel* Label4;
    QPlainTextEdit* Memo4;
    QPushButton* Button1;

    void clearLists();
    // Fills the four boxes, "Не обнаружено" standing for an empty list.
    void showReport(const CheckReport& report);

private slots:
    void Button1Click();
};
