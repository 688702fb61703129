#include "check/report_form.h"

#include "check/check_report.h"
#include "check/report_text.h"

#include "shell/error_display.h"

#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

Treport_form::Treport_form(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("report_form"));
    setWindowTitle(QStringLiteral("Отчет"));
    setGeometry(282, 123, 490, 530);
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
    Label1 = label("Label1", 0);
    Memo1 = memo("Memo1", 97);
    Label2 = label("Label2", 1);
    Memo2 = memo("Memo2", 97);
    Label3 = label("Label3", 2);
    Memo3 = memo("Memo3", 105);
    Label4 = label("Label4", 3);
    Memo4 = memo("Memo4", 105);
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
    // Each button as wide as its text needs, at least its first width.
    for (QPushButton* button : {Button1, Button2})
        button->setMinimumWidth(std::max(button->minimumWidth(), button->sizeHint().width()));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(192);
    buttons->addWidget(Button1);
    buttons->addSpacing(8);
    buttons->addWidget(Button2);
    buttons->addStretch(214);
    column->addSpacing(7);
    column->addLayout(buttons);
    setTabOrder(Memo4, NotExaminedMemo);
    setTabOrder(NotExaminedMemo, Button1);
    setTabOrder(Button1, Button2);
    connect(Button1, &QPushButton::clicked, this, &Treport_form::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Treport_form::Button2Click);
}

void Treport_form::clearLists()
{
    for (QPlainTextEdit* memo : {Memo1, Memo2, Memo3, Memo4, NotExaminedMemo})
        memo->clear();
}

void Treport_form::showReport(const CheckReport& report, const QString& dir)
{
    m_dir = dir;
    Button2->setVisible(report.foundBits() != 0);
    const ReportLists lists = ReportLines(report);
    Memo1->setPlainText(ShownLines(lists.deleted).join(u'\n'));
    Memo2->setPlainText(ShownLines(lists.moved).join(u'\n'));
    Memo3->setPlainText(ShownLines(lists.added).join(u'\n'));
    Memo4->setPlainText(ShownLines(lists.changed).join(u'\n'));
    NotExaminedMemo->setPlainText(NotExaminedLines(report.notExamined).join(u'\n'));
    NotExaminedLabel->setVisible(!report.notExamined.isEmpty());
    NotExaminedMemo->setVisible(!report.notExamined.isEmpty());
    SealLabel->setText(report.sealLines.join(u'\n'));
    SealLabel->setStyleSheet(report.sealBroken ? QStringLiteral("color: #b00000; font-weight: bold") : QString());
    SealLabel->setVisible(!report.sealLines.isEmpty());
}

void Treport_form::Button1Click()
{
    close();
}

void Treport_form::Button2Click()
{
    QMessageBox question(QMessageBox::Question, ApplicationTitle(),
                         QStringLiteral("Принять изменения в директории %1 и поставить ее файлы на учет заново?").arg(m_dir),
                         QMessageBox::Yes | QMessageBox::No, this);
    question.setObjectName(QStringLiteral("AcceptQuestion"));
    question.setDefaultButton(QMessageBox::No);
    if (question.exec() == QMessageBox::Yes)
        accept();
}
