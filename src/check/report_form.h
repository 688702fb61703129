#pragma once

#include <QDialog>

#include "check/check_report.h"
#include "check/finding_details_pane.h"

#include <QStringList>

#include <functional>
#include <set>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QSplitter;

// The report of an integrity check: deleted, moved, new and changed files in
// four lists, a line each, each with its count of files beside its caption;
// each line of a finding has a tick box (Space ticks the current line). When
// it lists anything, "Принять изменения" beside "Закрыть" asks once whether
// to accept all the changes, and on yes ends the window with Accepted; the
// caller then records them. "Принять выбранные" accepts the ticked findings
// alone, through what setAcceptSelected gave, and the lists then show what is
// still outstanding; closing the window with findings ticked asks first.
// Each list's lines go by name; where the package manager's records explain
// findings, each list shows its unexplained lines first, then the explained
// ones in a group a package change, under a header line with its own tick box
// that ticks the group's lines shown. Headers are no findings: never accepted
// nor in listText.
// The filter above the lists shows only the lines that hold its text, in any
// case, in all four; "Отметить все" and "Снять все" tick and untick those.
// One line of the four lists is current, and the pane below them, which the
// user may drag larger, shows what its finding was and is. Ctrl+C or the
// context menu's "Копировать путь" copies the selected lines' names.
class Treport_form : public QDialog {
    Q_OBJECT
public:
    explicit Treport_form(QWidget* parent = nullptr);

    // What verifying the seal found, above the lists; shown only when there
    // is anything to say.
    QLabel* SealLabel;
    QLineEdit* FilterEdit;
    QPushButton* TickAllButton;   // "Отметить все"
    QPushButton* UntickAllButton; // "Снять все"
    QSplitter* Splitter;          // the lists above, the details below
    // Each list under its caption, its count of files beside it: "(12)", or
    // "(3 из 12)" while the filter hides some.
    QLabel* Label1;
    QLabel* Count1;
    QListWidget* Memo1;
    QLabel* Label2;
    QLabel* Count2;
    QListWidget* Memo2;
    QLabel* Label3;
    QLabel* Count3;
    QListWidget* Memo3;
    QLabel* Label4;
    QLabel* Count4;
    QListWidget* Memo4;
    TFindingDetails* DetailsMemo; // what the current finding was and is
    // What the walk could not examine, after the four lists; shown only when
    // there is any.
    QLabel* NotExaminedLabel;
    QPlainTextEdit* NotExaminedMemo;
    QLabel* TickedLabel; // "Отмечено файлов: N", while any are
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3; // "Принять выбранные"

    // Empties the lists and the filter.
    void clearLists();
    // Fills the four boxes, "Не обнаружено" standing for an empty list, for
    // the check of dir, and shows what verifying the seal found and what the
    // check could not examine. The filter stays as it is.
    void showReport(const CheckReport& report, const QString& dir = QString());
    // What accepts the ticked findings, given the names to accept (see
    // AcceptFiles); it raises when they could not be accepted.
    void setAcceptSelected(std::function<void(const QStringList& names)> accept);

    // A list's lines, one a line, as the report's text shows them, in the
    // window's order: no group's header, hidden lines too.
    static QString listText(const QListWidget* list);

public slots:
    // Escape, the window's close and "Закрыть": with findings ticked that
    // could be accepted, asks whether to drop them first.
    void reject() override;

private slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QListWidget*> lists() const;
    // Makes item the one current line of the four lists.
    void makeCurrent(QListWidget* list, QListWidgetItem* item);
    void showDetails(const QListWidgetItem* item);
    // Ticks a header's lines shown as it, or a header as its lines shown are.
    void tickGroup(QListWidget* list, QListWidgetItem* item);
    void tickShown(Qt::CheckState state);
    void applyFilter();
    void copyPaths(const QListWidget* list);
    // The indexes in the report of the findings ticked, shown or not.
    std::set<qsizetype> tickedFindings() const;
    void updateCounts();

    QWidget* m_notExamined; // NotExaminedLabel above NotExaminedMemo
    QString m_dir;
    CheckReport m_report;
    std::function<void(const QStringList&)> m_acceptSelected;
    bool m_ticking = false; // a group is being ticked, or the lists filled
    bool m_choosing = false; // one list's line is being made the current one
};
