#include "check/report_list_rows.h"

#include <QListWidget>

namespace {

// Marks a group's header; a finding's line holds its finding's index under
// Qt::UserRole instead.
constexpr int kHeaderRole = Qt::UserRole + 1;

} // namespace

void MarkFindingLine(QListWidgetItem* item, qsizetype finding)
{
    item->setData(Qt::UserRole, finding);
}

void MarkGroupHeader(QListWidgetItem* item)
{
    item->setData(kHeaderRole, true);
}

bool IsFindingLine(const QListWidgetItem* item)
{
    return item->data(Qt::UserRole).isValid();
}

bool IsGroupHeader(const QListWidgetItem* item)
{
    return item->data(kHeaderRole).toBool();
}

qsizetype FindingOfLine(const QListWidgetItem* item)
{
    return qsizetype(item->data(Qt::UserRole).toLongLong());
}

std::pair<int, int> GroupRows(const QListWidget* list, int row)
{
    int first = row;
    while (first >= 0 && !IsGroupHeader(list->item(first)))
        --first;
    if (first < 0)
        return {row, row};
    int end = first + 1;
    while (end < list->count() && !IsGroupHeader(list->item(end)))
        ++end;
    return {first, end};
}

Qt::CheckState GroupTickState(const QListWidget* list, int first, int end)
{
    int shown = 0, ticked = 0;
    for (int i = first + 1; i < end; ++i) {
        if (list->item(i)->isHidden())
            continue;
        ++shown;
        ticked += list->item(i)->checkState() == Qt::Checked;
    }
    return ticked == 0 ? Qt::Unchecked : ticked == shown ? Qt::Checked : Qt::PartiallyChecked;
}

void UpdateGroupHeaders(QListWidget* list)
{
    for (int row = 0; row < list->count(); ++row)
        if (IsGroupHeader(list->item(row))) {
            const auto [first, end] = GroupRows(list, row);
            list->item(row)->setCheckState(GroupTickState(list, first, end));
        }
}

void FilterLines(QListWidget* list, const QString& filter)
{
    // A header shows while any of its lines does: it is settled at the
    // group's end.
    QListWidgetItem* header = nullptr;
    bool headerShows = false;
    const auto settle = [&] {
        if (header)
            header->setHidden(!headerShows);
    };
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem* item = list->item(row);
        if (IsGroupHeader(item)) {
            settle();
            header = item;
            headerShows = false;
            continue;
        }
        const bool shows = !IsFindingLine(item) || item->text().contains(filter, Qt::CaseInsensitive);
        item->setHidden(!shows);
        headerShows = headerShows || shows;
    }
    settle();
}

std::pair<qsizetype, qsizetype> CountFindings(const QListWidget* list)
{
    // A finding's lines follow each other.
    qsizetype all = 0, shown = 0;
    qsizetype last = -1;
    bool lastShown = false;
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem* item = list->item(row);
        if (!IsFindingLine(item))
            continue;
        if (FindingOfLine(item) != last) {
            ++all;
            last = FindingOfLine(item);
            lastShown = false;
        }
        if (!item->isHidden() && !lastShown) {
            ++shown;
            lastShown = true;
        }
    }
    return {shown, all};
}
