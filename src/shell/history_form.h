#pragma once

#include "rows/event_log.h"

#include <QDialog>

class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QTableWidget;

// The history of a directory under control, from the log: a chart of what
// each check found over time (all findings, and what nothing explained where
// the check explained), and a table of the checks and accepts. A point of the
// chart, or a line of the table, shows that entry's summary below them.
class Thistory_form : public QDialog {
    Q_OBJECT
public:
    explicit Thistory_form(QWidget* parent = nullptr);

    // Shows the registration of dir's entries, oldest first.
    void showHistory(const QString& dir, const LogEntries& entries);
    // Shows the summary of the entry at index, and selects its line.
    void showEntry(qsizetype index);

    QChartView* ChartView;
    QScatterSeries* CheckPoints; // a point per check: its time, its findings
    QLineSeries* FoundLine;
    QLineSeries* UnexplainedLine;
    QTableWidget* EntryTable;
    QLabel* SummaryLabel;

private:
    // The check whose point is nearest to point, on the time axis.
    qsizetype checkAt(const QPointF& point) const;

    QString m_dir;
    LogEntries m_entries;
};
