#include "shell/about_form.h"

#include <QPushButton>
#include <QStyle>
#include <QTextEdit>

Tabout_form::Tabout_form(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("about_form"));
    setWindowTitle(QStringLiteral("О программе"));
    setGeometry(364, 317, 291, 150);
    setFixedSize(291, 150);

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setGeometry(0, 0, 281, 89);
    RichEdit1->setReadOnly(true);
    RichEdit1->setFrameShadow(QFrame::Sunken);
    QFont bold(QStringLiteral("MS Sans Serif"), 8);
    bold.setBold(true);
    RichEdit1->setFont(bold);
    RichEdit1->setPlainText(QStringLiteral("Праграмма предназначена для \nконтроля за изменениями в \nфайловой системе\n"));

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Закрыть"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(88, 96, 97, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &Tabout_form::BitBtn1Click);
}

void Tabout_form::BitBtn1Click()
{
    close();
}
