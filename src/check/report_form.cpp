#include "check/report_form.h"

#include "check/check_report.h"
#include "check/explanation_text.h"
#include "check/field_caption.h"
#include "check/finding_details_pane.h"
#include "check/report_groups.h"
#include "check/report_list_rows.h"
#include "check/report_text.h"
#include "common/shown_name.h"
#include "shell/error_display.h"
#include "shell/window_geometry.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A finding's name as a line shows it: a moved file's as it was and is.
QString shownFinding(const Finding& finding)
{
    return finding.kind == Finding::Moved ? MovedLine(ShownName(finding.from), ShownName(finding.file))
                                          : ShownName(finding.file);
}

} // namespace

Treport_form::Treport_form(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("report_form"));
    setWindowTitle(QStringLiteral("Отчет"));
    // Large enough for hundreds of lines and the details, on a 1024×768 screen.
    setGeometry(62, 30, 900, 700);
    // A name of its own since it took the filter and the details pane: the
    // old one holds, saved at every close, the old small first size.
    RememberGeometry(*this, QStringLiteral("report_window"));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(4);
    // What verifying the seal found, above the lists; hidden where there is
    // nothing to say.
    SealLabel = new QLabel(this);
    SealLabel->setObjectName(QStringLiteral("SealLabel"));
    SealLabel->setWordWrap(true);
    SealLabel->setTextFormat(Qt::PlainText);
    column->addWidget(SealLabel);
    SealLabel->hide();

    FilterEdit = new QLineEdit(this);
    FilterEdit->setObjectName(QStringLiteral("FilterEdit"));
    FilterEdit->setPlaceholderText(QStringLiteral("Фильтр"));
    FilterEdit->setClearButtonEnabled(true);
    FilterEdit->installEventFilter(this);
    TickAllButton = new QPushButton(QStringLiteral("Отметить все"), this);
    TickAllButton->setObjectName(QStringLiteral("TickAllButton"));
    UntickAllButton = new QPushButton(QStringLiteral("Снять все"), this);
    UntickAllButton->setObjectName(QStringLiteral("UntickAllButton"));
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(FilterEdit, 1);
    filterRow->addWidget(TickAllButton);
    filterRow->addWidget(UntickAllButton);
    column->addLayout(filterRow);

    Splitter = new QSplitter(Qt::Vertical, this);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    Splitter->setChildrenCollapsible(false);
    auto* listsSplitter = new QSplitter(Qt::Vertical, Splitter);
    listsSplitter->setObjectName(QStringLiteral("ListsSplitter"));
    listsSplitter->setChildrenCollapsible(false);
    const QStringList captions = ReportCaptions();
    // A list under its caption, with its count beside it.
    auto block = [&](const char* labelName, const char* countName, const QString& caption, QWidget* below,
                     QLabel*& count) {
        auto* box = new QWidget(listsSplitter);
        auto* boxColumn = new QVBoxLayout(box);
        boxColumn->setContentsMargins(0, 0, 0, 0);
        boxColumn->setSpacing(1);
        auto* label = new QLabel(caption, box);
        label->setObjectName(QString::fromLatin1(labelName));
        auto* captionRow = new QHBoxLayout;
        captionRow->addStretch();
        captionRow->addWidget(label);
        if (countName) {
            count = new QLabel(box);
            count->setObjectName(QString::fromLatin1(countName));
            captionRow->addWidget(count);
        }
        captionRow->addStretch();
        boxColumn->addLayout(captionRow);
        below->setParent(box);
        boxColumn->addWidget(below, 1);
        return std::pair{label, box};
    };
    auto list = [&](const char* name) {
        auto* l = new QListWidget;
        l->setObjectName(QString::fromLatin1(name));
        l->setMinimumSize(120, 40);
        l->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        l->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        l->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        l->setSelectionMode(QAbstractItemView::ExtendedSelection);
        l->setUniformItemSizes(true);
        connect(l, &QListWidget::currentItemChanged, this, [this, l](QListWidgetItem* item) { makeCurrent(l, item); });
        connect(l, &QListWidget::itemChanged, this, [this, l](QListWidgetItem* item) { tickGroup(l, item); });
        // The context menu's; its key is taken in eventFilter.
        auto* copy = new QAction(QStringLiteral("Копировать путь"), l);
        copy->setObjectName(QStringLiteral("CopyPathAction"));
        copy->setShortcut(QKeySequence::Copy);
        copy->setShortcutContext(Qt::WidgetShortcut);
        l->addAction(copy);
        l->setContextMenuPolicy(Qt::ActionsContextMenu);
        l->installEventFilter(this);
        connect(copy, &QAction::triggered, l, [this, l] { copyPaths(l); });
        return l;
    };
    Memo1 = list("Memo1");
    Memo2 = list("Memo2");
    Memo3 = list("Memo3");
    Memo4 = list("Memo4");
    Label1 = block("Label1", "Count1", captions[0], Memo1, Count1).first;
    Label2 = block("Label2", "Count2", captions[1], Memo2, Count2).first;
    Label3 = block("Label3", "Count3", captions[2], Memo3, Count3).first;
    Label4 = block("Label4", "Count4", captions[3], Memo4, Count4).first;
    NotExaminedMemo = new QPlainTextEdit;
    NotExaminedMemo->setObjectName(QStringLiteral("NotExaminedMemo"));
    NotExaminedMemo->setMinimumSize(120, 40);
    NotExaminedMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    NotExaminedMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    NotExaminedMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QLabel* none = nullptr;
    std::tie(NotExaminedLabel, m_notExamined) =
        block("NotExaminedLabel", nullptr, NotExaminedCaption(), NotExaminedMemo, none);
    m_notExamined->hide();
    DetailsMemo = new TFindingDetails(Splitter);
    DetailsMemo->setObjectName(QStringLiteral("DetailsMemo"));
    Splitter->setStretchFactor(0, 3);
    Splitter->setStretchFactor(1, 1);
    Splitter->setSizes({450, 150});
    column->addWidget(Splitter, 1);

    TickedLabel = new QLabel(this);
    TickedLabel->setObjectName(QStringLiteral("TickedLabel"));
    Button1 = new QPushButton(QStringLiteral("Закрыть"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setMinimumSize(75, 25);
    Button2 = new QPushButton(QStringLiteral("Принять изменения"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setMinimumSize(120, 25);
    Button2->hide();
    Button3 = new QPushButton(QStringLiteral("Принять выбранные"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setMinimumSize(120, 25);
    Button3->hide();
    for (QPushButton* button : {Button1, Button2, Button3, TickAllButton, UntickAllButton})
        button->setMinimumWidth(std::max(button->minimumWidth(), button->sizeHint().width()));
    // Enter in a list still presses "Закрыть", never these.
    TickAllButton->setAutoDefault(false);
    UntickAllButton->setAutoDefault(false);
    TickAllButton->hide();
    UntickAllButton->hide();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(TickedLabel, 1);
    buttons->addWidget(Button1);
    buttons->addSpacing(8);
    buttons->addWidget(Button2);
    buttons->addSpacing(8);
    buttons->addWidget(Button3);
    buttons->addStretch(1);
    column->addLayout(buttons);

    setTabOrder(FilterEdit, TickAllButton);
    setTabOrder(TickAllButton, UntickAllButton);
    setTabOrder(UntickAllButton, Memo1);
    setTabOrder(Memo1, Memo2);
    setTabOrder(Memo2, Memo3);
    setTabOrder(Memo3, Memo4);
    setTabOrder(Memo4, DetailsMemo->FieldsView);
    setTabOrder(DetailsMemo->FieldsView, NotExaminedMemo);
    setTabOrder(NotExaminedMemo, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
    connect(FilterEdit, &QLineEdit::textChanged, this, &Treport_form::applyFilter);
    connect(TickAllButton, &QPushButton::clicked, this, [this] { tickShown(Qt::Checked); });
    connect(UntickAllButton, &QPushButton::clicked, this, [this] { tickShown(Qt::Unchecked); });
    connect(Button1, &QPushButton::clicked, this, &Treport_form::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Treport_form::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Treport_form::Button3Click);
    updateCounts();
}

bool Treport_form::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the filter would press the dialog's default button.
    if (watched == FilterEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    // Ctrl+C in a list copies names, not the line as the view would: taken
    // as the key itself, so that it holds whether or not the window is the
    // active one, which a shortcut needs.
    const bool copy = (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)
                      && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy);
    if (auto* list = qobject_cast<QListWidget*>(watched); list && copy) {
        if (event->type() == QEvent::KeyPress)
            copyPaths(list);
        event->accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QList<QListWidget*> Treport_form::lists() const
{
    return {Memo1, Memo2, Memo3, Memo4};
}

void Treport_form::clearLists()
{
    for (QListWidget* list : lists())
        list->clear();
    NotExaminedMemo->clear();
    DetailsMemo->clear();
    FilterEdit->clear();
    updateCounts();
}

QString Treport_form::listText(const QListWidget* list)
{
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        if (!IsGroupHeader(list->item(i)))
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
    const bool ticking = !report.findings.isEmpty() && m_acceptSelected;
    Button2->setVisible(report.foundBits() != 0);
    Button3->setVisible(ticking);
    TickAllButton->setVisible(ticking);
    UntickAllButton->setVisible(ticking);
    const ReportLists lists = ShownReportLines(report);
    const QStringList* lines[] = {&lists.deleted, &lists.moved, &lists.added, &lists.changed};
    const QList<QListWidget*> shown = this->lists();
    {
        const QScopedValueRollback filling(m_ticking, true);
        for (int l = 0; l < 4; ++l) {
            shown[l]->clear();
            const QStringList texts = ShownLines(*lines[l]);
            if (lines[l]->isEmpty()) {
                shown[l]->addItem(texts.first()); // "Не обнаружено"
                continue;
            }
            const QList<qsizetype>& findings = lists.findings[std::size_t(l)];
            for (const LineGroup& group : GroupedLines(findings, report.findings)) {
                if (group.explanation) {
                    auto* header = new QListWidgetItem(
                        PackageChangeText(*group.explanation) + QStringLiteral(": ") + FileCount(group.files), shown[l]);
                    header->setFlags(header->flags() | Qt::ItemIsUserCheckable);
                    header->setCheckState(Qt::Unchecked);
                    MarkGroupHeader(header);
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
                    MarkFindingLine(item, findings[i]);
                }
            }
        }
    }
    DetailsMemo->clear();
    NotExaminedMemo->setPlainText(NotExaminedLines(report.notExamined).join(u'\n'));
    m_notExamined->setVisible(!report.notExamined.isEmpty());
    SealLabel->setText(report.sealLines.join(u'\n'));
    SealLabel->setStyleSheet(report.sealBroken ? QStringLiteral("color: #b00000; font-weight: bold") : QString());
    SealLabel->setVisible(!report.sealLines.isEmpty());
    applyFilter();
}

void Treport_form::applyFilter()
{
    const QString filter = FilterEdit->text();
    for (QListWidget* list : lists()) {
        FilterLines(list, filter);
        const QScopedValueRollback ticking(m_ticking, true);
        UpdateGroupHeaders(list);
        if (list->currentItem() && !list->currentItem()->isHidden())
            list->scrollToItem(list->currentItem());
    }
    updateCounts();
}

void Treport_form::tickShown(Qt::CheckState state)
{
    {
        const QScopedValueRollback ticking(m_ticking, true);
        for (QListWidget* list : lists()) {
            for (int row = 0; row < list->count(); ++row)
                if (QListWidgetItem* item = list->item(row); IsFindingLine(item) && !item->isHidden())
                    item->setCheckState(state);
            UpdateGroupHeaders(list);
        }
    }
    updateCounts();
}

void Treport_form::updateCounts()
{
    const QList<QListWidget*> shown = lists();
    QLabel* counts[] = {Count1, Count2, Count3, Count4};
    for (int l = 0; l < 4; ++l) {
        const auto [visible, all] = CountFindings(shown[l]);
        counts[l]->setText(visible == all ? QStringLiteral("(%1)").arg(all)
                                          : QStringLiteral("(%1 из %2)").arg(visible).arg(all));
    }
    const std::size_t ticked = tickedFindings().size();
    TickedLabel->setText(ticked ? QStringLiteral("Отмечено файлов: %1").arg(ticked) : QString());
}

std::set<qsizetype> Treport_form::tickedFindings() const
{
    std::set<qsizetype> ticked;
    for (const QListWidget* list : lists())
        for (int i = 0; i < list->count(); ++i)
            if (const QListWidgetItem* item = list->item(i); IsFindingLine(item) && item->checkState() == Qt::Checked)
                ticked.insert(FindingOfLine(item));
    return ticked;
}

void Treport_form::makeCurrent(QListWidget* list, QListWidgetItem* item)
{
    if (m_choosing)
        return;
    if (item) {
        const QScopedValueRollback choosing(m_choosing, true);
        for (QListWidget* other : lists())
            if (other != list)
                other->selectionModel()->clear();
    }
    showDetails(item);
}

void Treport_form::showDetails(const QListWidgetItem* item)
{
    if (!item || !IsFindingLine(item) || FindingOfLine(item) >= m_report.findings.size()) {
        DetailsMemo->clear();
        return;
    }
    const Finding& finding = m_report.findings[FindingOfLine(item)];
    QString why;
    if (finding.explanation)
        why = ExplanationText(*finding.explanation);
    else if (std::any_of(m_report.findings.cbegin(), m_report.findings.cend(),
                         [](const Finding& other) { return other.explanation.has_value(); }))
        why = QStringLiteral("не объяснено записями пакетов");
    DetailsMemo->showFinding(shownFinding(finding), why, CaptionedFields(finding));
}

void Treport_form::tickGroup(QListWidget* list, QListWidgetItem* item)
{
    if (m_ticking)
        return;
    {
        const QScopedValueRollback ticking(m_ticking, true);
        // A changed file's lines are ticked as one: the file is what is accepted.
        const int row = list->row(item);
        for (const int step : {-1, 1})
            for (int i = row + step; i >= 0 && i < list->count() && IsFindingLine(list->item(i))
                                     && FindingOfLine(list->item(i)) == FindingOfLine(item);
                 i += step)
                list->item(i)->setCheckState(item->checkState());
        const auto [first, end] = GroupRows(list, row);
        if (first != end) {
            QListWidgetItem* header = list->item(first);
            if (item == header) {
                for (int i = first + 1; i < end; ++i)
                    if (!list->item(i)->isHidden())
                        list->item(i)->setCheckState(header->checkState());
            } else {
                header->setCheckState(GroupTickState(list, first, end));
            }
        }
    }
    updateCounts();
}

void Treport_form::copyPaths(const QListWidget* list)
{
    QList<int> rows;
    for (const QListWidgetItem* item : list->selectedItems())
        rows.append(list->row(item));
    if (rows.isEmpty() && list->currentRow() >= 0)
        rows.append(list->currentRow());
    std::sort(rows.begin(), rows.end());
    // A header stands for its group's lines shown; a changed file's lines
    // for one name.
    std::set<qsizetype> seen;
    QStringList names;
    const auto add = [&](const QListWidgetItem* item) {
        if (IsFindingLine(item) && seen.insert(FindingOfLine(item)).second)
            names.append(ShownName(m_report.findings[FindingOfLine(item)].file));
    };
    for (const int row : rows) {
        if (!IsGroupHeader(list->item(row))) {
            add(list->item(row));
            continue;
        }
        const auto [first, end] = GroupRows(list, row);
        for (int i = first + 1; i < end; ++i)
            if (!list->item(i)->isHidden())
                add(list->item(i));
    }
    if (!names.isEmpty())
        QGuiApplication::clipboard()->setText(names.join(u'\n'));
}

void Treport_form::Button3Click()
{
    const std::set<qsizetype> ticked = tickedFindings();
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

void Treport_form::reject()
{
    const std::size_t ticked = m_acceptSelected ? tickedFindings().size() : 0;
    if (ticked > 0 && isVisible()) {
        QMessageBox question(QMessageBox::Question, ApplicationTitle(),
                             QStringLiteral("Отмечено файлов: %1. Закрыть отчет, не приняв их?").arg(ticked),
                             QMessageBox::Yes | QMessageBox::No, this);
        question.setObjectName(QStringLiteral("PendingTicksQuestion"));
        question.setTextFormat(Qt::PlainText);
        question.setDefaultButton(QMessageBox::No);
        if (question.exec() != QMessageBox::Yes)
            return;
    }
    QDialog::reject();
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
