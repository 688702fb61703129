#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
struct CheckReport;

// The report of an integrity check: deleted, moved, new and changed files in
// four ordinary, editable text boxes. When it lists anything, "Принять
// изменения" beside "Закрыть" asks once whether to accept the changes, and on
// yes ends the window with Accepted; the caller then records them.
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
    // What the walk could not examine, after the four lists; shown only when
    // there is any.
    QLabel* SealLabel;
    QLabel* NotExaminedLabel;
    QPlainTextEdit* NotExaminedMemo;
    QPushButton* Button1;
    QPushButton* Button2;

    void clearLists();
    // Fills the four boxes, "Не обнаружено" standing for an empty list, for
    // the check of dir, and shows what it could not examine.
    void showReport(const CheckReport& report, const QString& dir = QString());

private slots:
    void Button1Click();
    void Button2Click();

private:
    QString m_dir;
};
