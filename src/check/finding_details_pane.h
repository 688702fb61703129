#pragma once

#include "check/field_caption.h"

#include <QWidget>

class QLabel;
class QTreeWidget;

// What the report window's current finding was and is: its name on top, what
// explains it, then a row a field with its caption, what it was and what it
// is, the fields that differ in bold and marked "*".
class TFindingDetails : public QWidget {
    Q_OBJECT
public:
    explicit TFindingDetails(QWidget* parent = nullptr);

    // Shows a finding under its name: why is the line that says what explains
    // it, or that nothing does, or empty; fields as CaptionedFields gives them.
    void showFinding(const QString& name, const QString& why, const QList<CaptionedField>& fields);
    void clear();

    // What it shows below the name, a line each: what explains it, then a
    // field a line, "* размер: 1 → 2" where the sides differ and "  тип:
    // обычный файл" where they do not; empty when it shows nothing.
    QString toPlainText() const;

    QLabel* HintLabel; // in place of the name while there is none
    QLabel* NameLabel;
    QLabel* WhyLabel;
    QTreeWidget* FieldsView; // "Поле", "Было", "Стало"

private:
    QString m_text;
};
