#include "shell/history_form.h"

#include "check/log_text.h"
#include "common/shown_name.h"
#include "shell/window_geometry.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSplitter>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace {

QString whoText(const LogEntry& entry)
{
    return entry.user + u'@' + entry.host;
}

qreal timeOf(const LogEntry& entry)
{
    return qreal(entry.at.toMSecsSinceEpoch());
}

} // namespace

Thistory_form::Thistory_form(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("history_form"));
    setWindowTitle(QStringLiteral("История проверок"));
    resize(760, 560);
    RememberGeometry(*this, QStringLiteral("history"));

    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    FoundLine = new QLineSeries;
    FoundLine->setName(QStringLiteral("Найдено"));
    UnexplainedLine = new QLineSeries;
    UnexplainedLine->setName(QStringLiteral("Не объяснено"));
    CheckPoints = new QScatterSeries;
    CheckPoints->setName(QStringLiteral("Проверки"));
    CheckPoints->setMarkerSize(9);
    for (QAbstractSeries* series : {static_cast<QAbstractSeries*>(FoundLine), static_cast<QAbstractSeries*>(UnexplainedLine),
                                    static_cast<QAbstractSeries*>(CheckPoints)})
        chart->addSeries(series);
    auto* time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("dd.MM HH:mm"));
    time->setTitleText(QStringLiteral("Время проверки"));
    auto* count = new QValueAxis;
    count->setLabelFormat(QStringLiteral("%d"));
    count->setTitleText(QStringLiteral("Находок"));
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(count, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(time);
        series->attachAxis(count);
    }
    ChartView = new QChartView(chart, this);
    ChartView->setObjectName(QStringLiteral("ChartView"));
    ChartView->setRenderHint(QPainter::Antialiasing);
    ChartView->setMinimumHeight(260);
    connect(CheckPoints, &QScatterSeries::clicked, this, [this](const QPointF& point) { showEntry(checkAt(point)); });

    EntryTable = new QTableWidget(0, 4, this);
    EntryTable->setObjectName(QStringLiteral("EntryTable"));
    EntryTable->setHorizontalHeaderLabels(
        {QStringLiteral("Время"), QStringLiteral("Действие"), QStringLiteral("Кто"), QStringLiteral("Итог")});
    EntryTable->horizontalHeader()->setStretchLastSection(true);
    EntryTable->verticalHeader()->hide();
    EntryTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    EntryTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    EntryTable->setSelectionMode(QAbstractItemView::SingleSelection);
    // One line an entry: the summary below gives the whole of the chosen one.
    EntryTable->setWordWrap(false);
    EntryTable->verticalHeader()->setDefaultSectionSize(EntryTable->fontMetrics().height() + 6);
    connect(EntryTable, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row >= 0)
            SummaryLabel->setText(LogEntryLines(m_entries[row], m_dir).join(u'\n'));
    });

    SummaryLabel = new QLabel(this);
    SummaryLabel->setObjectName(QStringLiteral("SummaryLabel"));
    SummaryLabel->setTextFormat(Qt::PlainText);
    SummaryLabel->setWordWrap(true);
    SummaryLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("HistorySplitter"));
    split->addWidget(ChartView);
    split->addWidget(EntryTable);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setSizes({320, 200});

    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* column = new QVBoxLayout(this);
    column->addWidget(split, 1);
    column->addWidget(SummaryLabel);
    column->addWidget(close, 0, Qt::AlignRight);
}

void Thistory_form::showHistory(const QString& dir, const LogEntries& entries)
{
    m_dir = dir;
    m_entries = entries;
    setWindowTitle(QStringLiteral("История проверок: ") + ShownName(dir));
    FoundLine->clear();
    UnexplainedLine->clear();
    CheckPoints->clear();
    EntryTable->setRowCount(0);
    SummaryLabel->setText(entries.isEmpty() ? QStringLiteral("Директория еще не проверялась") : QString());
    qint32 highest = 0;
    bool anyExplained = false;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const LogEntry& entry = entries[i];
        const int row = EntryTable->rowCount();
        EntryTable->insertRow(row);
        const QString outcome = entry.kind == LogEntry::Check ? CheckSummaryText(entry)
                                : entry.names.isEmpty()       ? QString()
                                                              : QStringLiteral("имен: %1").arg(entry.names.size());
        const QStringList cells{entry.at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                LogKindText(entry.kind), whoText(entry), outcome};
        for (int column = 0; column < cells.size(); ++column) {
            auto* cell = new QTableWidgetItem(cells[column]);
            cell->setToolTip(cells[column]);
            EntryTable->setItem(row, column, cell);
        }
        if (entry.kind != LogEntry::Check)
            continue;
        FoundLine->append(timeOf(entry), entry.findings());
        CheckPoints->append(timeOf(entry), entry.findings());
        if (entry.unexplained) {
            UnexplainedLine->append(timeOf(entry), *entry.unexplained);
            anyExplained = true;
        }
        highest = std::max(highest, entry.findings());
    }
    UnexplainedLine->setVisible(anyExplained);
    EntryTable->resizeColumnsToContents();
    EntryTable->horizontalHeader()->setStretchLastSection(true);

    // The axes span the checks, with room on both sides of a lone one.
    auto* time = qobject_cast<QDateTimeAxis*>(ChartView->chart()->axes(Qt::Horizontal).first());
    auto* count = qobject_cast<QValueAxis*>(ChartView->chart()->axes(Qt::Vertical).first());
    const QList<QPointF> points = CheckPoints->points();
    QDateTime first = points.isEmpty() ? QDateTime::currentDateTime()
                                       : QDateTime::fromMSecsSinceEpoch(qint64(points.first().x()));
    QDateTime last = points.isEmpty() ? first : QDateTime::fromMSecsSinceEpoch(qint64(points.last().x()));
    const qint64 margin = std::max<qint64>(60'000, first.msecsTo(last) / 20);
    time->setRange(first.addMSecs(-margin), last.addMSecs(margin));
    count->setRange(0, std::max(1, highest + highest / 10 + 1));
    count->applyNiceNumbers();
    if (!entries.isEmpty())
        showEntry(entries.size() - 1);
}

void Thistory_form::showEntry(qsizetype index)
{
    if (index < 0 || index >= m_entries.size())
        return;
    EntryTable->setCurrentCell(int(index), 0);
    SummaryLabel->setText(LogEntryLines(m_entries[index], m_dir).join(u'\n'));
}

qsizetype Thistory_form::checkAt(const QPointF& point) const
{
    qsizetype nearest = -1;
    qreal distance = std::numeric_limits<qreal>::max();
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].kind != LogEntry::Check)
            continue;
        const qreal d = std::abs(timeOf(m_entries[i]) - point.x());
        if (d < distance) {
            distance = d;
            nearest = i;
        }
    }
    return nearest;
}
