#pragma once

#include <QDialog>

#include "check/check_report.h"

#include <QStringList>

#include <functional>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;

// The report of an integrity check: deleted, moved, new and changed files in
// four lists, a line each, each line of a finding with a tick box (Space
// ticks the current line). When it lists anything, "Принять изменения"
// beside "Закрыть" asks once whether to accept all the changes, and on yes
// ends the window with Accepted; the caller then records them.
// "Принять выбранные" accepts the ticked findings alone, through what
// setAcceptSelected gave, and the lists then show what is still outstanding.
// Below the lists, what the selected finding was and is.
// Where the package manager's records explain findings, each list shows its
// unexplained lines first, then the explained ones in a group a package
// change, under a header line with its own tick box that ticks the group.
// Headers are no findings: never accepted nor in listText, and Ctrl+C on one
// copies its group's lines.
class Treport_form : public QDialog {
    Q_OBJECT
public:
    explicit Treport_form(QWidget* parent = nullptr);

    // What verifying the seal found, above the lists; shown only when there
    // is anything to say.
    QLabel* SealLabel;
    QLabel* Label1;
    QListWidget* Memo1;
    QLabel* Label2;
    QListWidget* Memo2;
    QLabel* Label3;
    QListWidget* Memo3;
    QLabel* Label4;
    QListWidget* Memo4;
    QPlainTextEdit* DetailsMemo; // what the selected finding was and is
    // What the walk could not examine, after the four lists; shown only when
    // there is any.
    QLabel* NotExaminedLabel;
    QPlainTextEdit* NotExaminedMemo;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3; // "Принять выбранные"

    void clearLists();
    // Fills the four boxes, "Не обнаружено" standing for an empty list, for
    // the check of dir, and shows what verifying the seal found and what the
    // check could not examine.
    void showReport(const CheckReport& report, const QString& dir = QString());
    // What accepts the ticked findings, given the names to accept (see
    // AcceptFiles); it raises when they could not be accepted.
    void setAcceptSelected(std::function<void(const QStringList& names)> accept);

    // A list's lines, one a line, as the report's text shows them: no
    // group's header.
    static QString listText(const QListWidget* list);

private slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();

private:
    void showDetails(const QListWidgetItem* item);
    // Ticks a header's lines as it, or a header as its lines are.
    void tickGroup(QListWidget* list, QListWidgetItem* item);

    QString m_dir;
    CheckReport m_report;
    std::function<void(const QStringList&)> m_acceptSelected;
    bool m_ticking = false; // a group is being ticked, or the lists filled
};
