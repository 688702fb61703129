#pragma once

#include <QDialog>

class QPushButton;
class QTextEdit;

// The about window: three lines about the program and a close button.
class Tabout_form : public QDialog {
    Q_OBJECT
public:
    explicit Tabout_form(QWidget* parent = nullptr);

    QTextEdit* RichEdit1;
    QPushButton* BitBtn1;

private slots:
    void BitBtn1Click();
};
