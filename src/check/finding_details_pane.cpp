#include "check/finding_details_pane.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

TFindingDetails::TFindingDetails(QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 4, 0, 0);
    column->setSpacing(2);
    NameLabel = new QLabel(this);
    NameLabel->setObjectName(QStringLiteral("DetailsName"));
    NameLabel->setTextFormat(Qt::PlainText);
    NameLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = NameLabel->font();
    bold.setBold(true);
    NameLabel->setFont(bold);
    WhyLabel = new QLabel(this);
    WhyLabel->setObjectName(QStringLiteral("DetailsWhy"));
    WhyLabel->setTextFormat(Qt::PlainText);
    WhyLabel->setWordWrap(true);
    WhyLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    FieldsView = new QTreeWidget(this);
    FieldsView->setObjectName(QStringLiteral("DetailsFields"));
    FieldsView->setHeaderLabels({QStringLiteral("Поле"), QStringLiteral("Было"), QStringLiteral("Стало")});
    FieldsView->setRootIsDecorated(false);
    FieldsView->setUniformRowHeights(true);
    FieldsView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FieldsView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    FieldsView->header()->setStretchLastSection(false);
    // Says what the empty pane is for.
    HintLabel = new QLabel(QStringLiteral("Выберите строку отчета: здесь будет видно, каким был файл и каким стал."), this);
    HintLabel->setObjectName(QStringLiteral("DetailsHint"));
    HintLabel->setWordWrap(true);
    HintLabel->setEnabled(false);
    column->addWidget(HintLabel);
    column->addWidget(NameLabel);
    column->addWidget(WhyLabel);
    column->addWidget(FieldsView, 1);
    column->addStretch();
    clear();
}

void TFindingDetails::showFinding(const QString& name, const QString& why, const QList<CaptionedField>& fields)
{
    HintLabel->setVisible(name.isEmpty());
    NameLabel->setText(name);
    NameLabel->setVisible(!name.isEmpty());
    WhyLabel->setText(why);
    WhyLabel->setVisible(!why.isEmpty());
    FieldsView->clear();
    QStringList lines;
    if (!why.isEmpty())
        lines.append(why);
    for (const CaptionedField& field : fields) {
        auto* row = new QTreeWidgetItem(FieldsView);
        row->setText(0, (field.differs ? QStringLiteral("* ") : QStringLiteral("  ")) + field.caption);
        row->setText(1, field.before);
        row->setText(2, field.after);
        row->setToolTip(0, field.key);
        row->setToolTip(1, field.before);
        row->setToolTip(2, field.after);
        if (field.differs) {
            QFont bold = FieldsView->font();
            bold.setBold(true);
            for (int column = 0; column < 3; ++column)
                row->setFont(column, bold);
        }
        lines.append(field.differs ? QStringLiteral("* ") + field.caption + QStringLiteral(": ") + field.before
                                         + QStringLiteral(" → ") + field.after
                                   : QStringLiteral("  ") + field.caption + QStringLiteral(": ") + field.after);
    }
    FieldsView->setVisible(!fields.isEmpty());
    m_text = lines.join(u'\n');
}

void TFindingDetails::clear()
{
    showFinding(QString(), QString(), {});
}

QString TFindingDetails::toPlainText() const
{
    return m_text;
}
