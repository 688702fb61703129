#include "check/report_form.h"

#include "check/check_report.h"
#include "check/explanation_text.h"
#include "shell/window_geometry.h"
#include "check/report_text.h"
#include "common/shown_name.h"

#include "shell/error_display.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace {

// Marks a group's header; a finding's line holds its finding's index under
// Qt::UserRole instead.
constexpr int kHeaderRole = Qt::UserRole + 1;

bool isHeader(const QListWidgetItem* item)
{
    return item->data(kHeaderRole).toBool();
}

// "3 файла": a count of files with the word as Russian declines it.
QString filesCount(qsizetype count)
{
    const bool teens = count % 100 / 10 == 1;
    const qsizetype units = count % 10;
    return QString::number(count)
           + (teens || units == 0 || units > 4 ? QStringLiteral(" файлов")
              : units == 1                     ? QStringLiteral(" файл")
                                               : QStringLiteral(" файла"));
}

// Lines of a list, by their indexes, with the package change that explains
// them; none for the unexplained lines.
struct LineGroup {
    const Explanation* explanation = nullptr;
    QList<qsizetype> lines;
    qsizetype files = 0;
};

// A list's lines, given their findings, in the order the window shows them:
// the unexplained ones first, then a group a package change in order of the
// package's name, each group's lines in their order.
QList<LineGroup> groupedLines(const QList<qsizetype>& lineFindings, const QList<Finding>& findings)
{
    LineGroup unexplained;
    std::map<std::tuple<QString, QString, QString, QString>, LineGroup> explained;
    for (qsizetype line = 0; line < lineFindings.size(); ++line) {
        const qsizetype at = lineFindings[line];
        const std::optional<Explanation>& why = findings[at].explanation;
        LineGroup& group = why ? explained[{why->package, why->architecture, why->from, why->to}] : unexplained;
        group.explanation = why ? &*why : nullptr;
        // A changed file's lines stand together: each file counts once.
        if (group.lines.isEmpty() || lineFindings[group.lines.last()] != at)
            ++group.files;
        group.lines.append(line);
    }
    QList<LineGroup> groups{unexplained};
    for (auto& [key, group] : explained)
        groups.append(std::move(group));
    return groups;
}

// The rows [first, end) of the group of the line at row, its header's first;
// an empty range for a line of no group.
std::pair<int, int> groupRows(const QListWidget* list, int row)
{
    int first = row;
    while (first >= 0 && !isHeader(list->item(first)))
        --first;
    if (first < 0)
        return {row, row};
    int end = first + 1;
    while (end < list->count() && !isHeader(list->item(end)))
        ++end;
    return {first, end};
}

// Copies the current line as Qt does; a header, its group's lines instead.
void copyCurrent(const QListWidget* list)
{
    const int row = list->currentRow();
    if (row < 0)
        return;
    QStringList lines{list->item(row)->text()};
    if (isHeader(list->item(row))) {
        const auto [first, end] = groupRows(list, row);
        lines.clear();
        for (int i = first + 1; i < end; ++i)
            lines.append(list->item(i)->text());
    }
    QGuiApplication::clipboard()->setText(lines.join(u'\n'));
}

} // namespace

Treport_form::Treport_form(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("report_form"));
    setWindowTitle(QStringLiteral("Отчет"));
    setGeometry(282, 123, 490, 530);
    RememberGeometry(*this, QStringLiteral("report"));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);

    // A column that fills the window as it is resized: at its first size the
    // lists stand 481 pixels wide at their first heights, each under its
    // caption, and the buttons below them from 192 pixels in.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 9, 33);
    column->setSpacing(0);
    const QStringList captions = ReportCaptions();
    auto label = [&](const char* name, int index) {
        auto* l = new QLabel(captions[index], this);
        l->setObjectName(QString::fromLatin1(name));
        l->setFixedHeight(16);
        column->addWidget(l, 0, Qt::AlignHCenter);
        return l;
    };
    auto memo = [&](const char* name, int height) {
        auto* m = new QPlainTextEdit(this);
        m->setObjectName(QString::fromLatin1(name));
        m->setMinimumSize(120, 40);
        m->setLineWrapMode(QPlainTextEdit::NoWrap);
        m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        column->addWidget(m, height);
        return m;
    };
    // What verifying the seal found, above the lists; hidden where there is
    // nothing to say.
    SealLabel = new QLabel(this);
    SealLabel->setObjectName(QStringLiteral("SealLabel"));
    SealLabel->setWordWrap(true);
    SealLabel->setTextFormat(Qt::PlainText);
    column->addWidget(SealLabel);
    SealLabel->hide();
    auto list = [&](const char* name, int height) {
        auto* l = new QListWidget(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setMinimumSize(120, 40);
        l->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        l->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        l->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        column->addWidget(l, height);
        connect(l, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) { showDetails(item); });
        connect(l, &QListWidget::itemChanged, this, [this, l](QListWidgetItem* item) { tickGroup(l, item); });
        auto* copy = new QAction(l);
        copy->setShortcut(QKeySequence::Copy);
        copy->setShortcutContext(Qt::WidgetShortcut);
        l->addAction(copy);
        connect(copy, &QAction::triggered, l, [l] { copyCurrent(l); });
        return l;
    };
    Label1 = label("Label1", 0);
    Memo1 = list("Memo1", 97);
    Label2 = label("Label2", 1);
    Memo2 = list("Memo2", 97);
    Label3 = label("Label3", 2);
    Memo3 = list("Memo3", 105);
    Label4 = label("Label4", 3);
    Memo4 = list("Memo4", 105);
    DetailsMemo = memo("DetailsMemo", 50);
    DetailsMemo->setReadOnly(true);
    DetailsMemo->hide();
    NotExaminedLabel = new QLabel(NotExaminedCaption(), this);
    NotExaminedLabel->setObjectName(QStringLiteral("NotExaminedLabel"));
    NotExaminedLabel->setFixedHeight(16);
    column->addWidget(NotExaminedLabel, 0, Qt::AlignHCenter);
    NotExaminedMemo = memo("NotExaminedMemo", 60);
    NotExaminedLabel->hide();
    NotExaminedMemo->hide();
    Button1 = new QPushButton(QStringLiteral("Закрыть"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setMinimumSize(75, 25);
    setTabOrder(Memo1, Memo2);
    setTabOrder(Memo2, Memo3);
    setTabOrder(Memo3, Memo4);
    Button2 = new QPushButton(QStringLiteral("Принять изменения"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setMinimumSize(120, 25);
    Button2->hide();
    Button3 = new QPushButton(QStringLiteral("Принять выбранные"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setMinimumSize(120, 25);
    Button3->hide();
    // Each button as wide as its text needs, at least its first width.
    for (QPushButton* button : {Button1, Button2, Button3})
        button->setMinimumWidth(std::max(button->minimumWidth(), button->sizeHint().width()));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(192);
    buttons->addWidget(Button1);
    buttons->addSpacing(8);
    buttons->addWidget(Button2);
    buttons->addSpacing(8);
    buttons->addWidget(Button3);
    buttons->addStretch(214);
    column->addSpacing(7);
    column->addLayout(buttons);
    setTabOrder(Memo4, NotExaminedMemo);
    setTabOrder(NotExaminedMemo, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
    connect(Button1, &QPushButton::clicked, this, &Treport_form::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Treport_form::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Treport_form::Button3Click);
}

void Treport_form::clearLists()
{
    for (QListWidget* list : {Memo1, Memo2, Memo3, Memo4})
        list->clear();
    NotExaminedMemo->clear();
    DetailsMemo->clear();
}

QString Treport_form::listText(const QListWidget* list)
{
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        if (!isHeader(list->item(i)))
            lines.append(list->item(i)->text());
    return lines.join(u'\n');
}

void Treport_form::setAcceptSelected(std::function<void(const QStringList& names)> accept)
{
    m_acceptSelected = std::move(accept);
}

void Treport_form::showReport(const CheckReport& report, const QString& dir)
{
    m_dir = dir;
    m_report = report;
    Button2->setVisible(report.foundBits() != 0);
    Button3->setVisible(!report.findings.isEmpty() && m_acceptSelected);
    const ReportLists lists = ShownReportLines(report);
    const QStringList* lines[] = {&lists.deleted, &lists.moved, &lists.added, &lists.changed};
    QListWidget* shown[] = {Memo1, Memo2, Memo3, Memo4};
    const QScopedValueRollback filling(m_ticking, true);
    for (int l = 0; l < 4; ++l) {
        shown[l]->clear();
        const QStringList texts = ShownLines(*lines[l]);
        if (lines[l]->isEmpty()) {
            shown[l]->addItem(texts.first()); // "Не обнаружено"
            continue;
        }
        const QList<qsizetype>& findings = lists.findings[std::size_t(l)];
        for (const LineGroup& group : groupedLines(findings, report.findings)) {
            if (group.explanation) {
                auto* header = new QListWidgetItem(
                    PackageChangeText(*group.explanation) + QStringLiteral(": ") + filesCount(group.files), shown[l]);
                header->setFlags(header->flags() | Qt::ItemIsUserCheckable);
                header->setCheckState(Qt::Unchecked);
                header->setData(kHeaderRole, true);
                QFont bold = shown[l]->font();
                bold.setBold(true);
                header->setFont(bold);
                header->setBackground(shown[l]->palette().button());
                header->setForeground(shown[l]->palette().buttonText());
            }
            for (const qsizetype i : group.lines) {
                auto* item = new QListWidgetItem(texts[i], shown[l]);
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(Qt::Unchecked);
                item->setData(Qt::UserRole, findings[i]);
            }
        }
    }
    DetailsMemo->clear();
    DetailsMemo->hide();
    NotExaminedMemo->setPlainText(NotExaminedLines(report.notExamined).join(u'\n'));
    NotExaminedLabel->setVisible(!report.notExamined.isEmpty());
    NotExaminedMemo->setVisible(!report.notExamined.isEmpty());
    SealLabel->setText(report.sealLines.join(u'\n'));
    SealLabel->setStyleSheet(report.sealBroken ? QStringLiteral("color: #b00000; font-weight: bold") : QString());
    SealLabel->setVisible(!report.sealLines.isEmpty());
}

void Treport_form::showDetails(const QListWidgetItem* item)
{
    const QVariant at = item ? item->data(Qt::UserRole) : QVariant();
    QStringList details;
    if (at.isValid() && at.toLongLong() < m_report.findings.size()) {
        const Finding& finding = m_report.findings[at.toLongLong()];
        details = FindingDetails(finding);
        if (finding.explanation)
            details.prepend(ExplanationText(*finding.explanation));
        else if (std::any_of(m_report.findings.cbegin(), m_report.findings.cend(),
                             [](const Finding& other) { return other.explanation.has_value(); }))
            details.prepend(QStringLiteral("не объяснено записями пакетов"));
    }
    DetailsMemo->setPlainText(details.join(u'\n'));
    DetailsMemo->setVisible(!details.isEmpty());
}

void Treport_form::tickGroup(QListWidget* list, QListWidgetItem* item)
{
    if (m_ticking)
        return;
    const auto [first, end] = groupRows(list, list->row(item));
    if (first == end)
        return;
    const QScopedValueRollback ticking(m_ticking, true);
    QListWidgetItem* header = list->item(first);
    if (item == header) {
        for (int i = first + 1; i < end; ++i)
            list->item(i)->setCheckState(header->checkState());
        return;
    }
    int ticked = 0;
    for (int i = first + 1; i < end; ++i)
        ticked += list->item(i)->checkState() == Qt::Checked;
    header->setCheckState(ticked == 0 ? Qt::Unchecked : ticked == end - first - 1 ? Qt::Checked : Qt::PartiallyChecked);
}

void Treport_form::Button3Click()
{
    std::set<qsizetype> ticked;
    for (const QListWidget* list : {Memo1, Memo2, Memo3, Memo4})
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->checkState() == Qt::Checked && !isHeader(list->item(i)))
                ticked.insert(list->item(i)->data(Qt::UserRole).toLongLong());
    if (ticked.empty() || !m_acceptSelected)
        return;
    // A finding is accepted by its name; a moved file's new name takes its
    // old place with it.
    QStringList names;
    for (const qsizetype at : ticked) {
        QString name = m_report.findings[at].file;
        if (m_report.findings[at].directory && name.size() > 1)
            name.chop(1);
        names.append(name);
    }
    if (!RunShowingErrors([&] { m_acceptSelected(names); }))
        return;
    CheckReport outstanding = m_report;
    outstanding.findings.clear();
    for (qsizetype i = 0; i < m_report.findings.size(); ++i)
        if (!ticked.count(i))
            outstanding.add(m_report.findings[i]);
    showReport(outstanding, m_dir);
}

void Treport_form::Button1Click()
{
    close();
}

void Treport_form::Button2Click()
{
    QMessageBox question(QMessageBox::Question, ApplicationTitle(),
                         QStringLiteral("Принять изменения в директории %1 и поставить ее файлы на учет заново?")
                             .arg(ShownName(m_dir)),
                         QMessageBox::Yes | QMessageBox::No, this);
    question.setObjectName(QStringLiteral("AcceptQuestion"));
    question.setTextFormat(Qt::PlainText);
    question.setDefaultButton(QMessageBox::No);
    if (question.exec() == QMessageBox::Yes)
        accept();
}
