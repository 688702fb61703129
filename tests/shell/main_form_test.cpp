#include "bits/bit_errors.h"
#include "check/check_report.h"
#include "check/report_form.h"
#include "registration/open_dir.h"
#include "shell/about_form.h"
#include "shell/error_display.h"
#include "shell/main_form.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "support/file_rows.h"
#include "support/program.h"
#include "support/temp_tree.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <gtest/gtest.h>

#include <functional>

namespace {

void addBaselineRows(int count)
{
    TDM1 dm;
    ConnectDM1(dm, kDatabaseFileName);
    dm.IBQuery1.executeStatement(Statement(u"insert into tab values(1,'/first','*')"));
    dm.IBQuery1.executeStatement(Statement(u"insert into tab values(2,'/second','txt')"));
    for (int id = 1; id <= count; ++id)
        dm.IBQuery1.executeStatement(Statement(u"insert into table1 values (").number(id).sql(u",'f','/first',1,'0','001',1,1)"));
    dm.finish();
}

qint32 committedRows(const QString& table)
{
    TDM1 dm;
    ConnectDM1(dm, kDatabaseFileName);
    return CountRows(dm, table);
}

TEST(MainFormTest, ShowsTheMenuToolBarListAndStatusOfTheDesign)
{
    TempDatabase database;
    addBaselineRows(12);
    Program program;
    Tmain_form& form = *program.main_form;
    form.show();

    EXPECT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Кварен"));
    EXPECT_EQ(form.size(), QSize(366, 246));
    QStringList menus;
    for (QAction* action : form.menuBar()->actions())
        menus.append(action->text());
    EXPECT_EQ(menus, (QStringList{QStringLiteral("&Директория"), QStringLiteral("&Проверка целостности"), QStringLiteral("&Справка")}));
    QStringList directoryItems;
    for (QAction* action : form.N1->menu()->actions())
        directoryItems.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(directoryItems, (QStringList{QStringLiteral("&Поставить на учет"), QStringLiteral("&Снять с учета"),
                                           QStringLiteral("&История проверок"), QStringLiteral("-"),
                                           QStringLiteral("&Выход")}));
    EXPECT_EQ(form.N8->text(), QStringLiteral("&Вызов справки"));
    EXPECT_EQ(form.N9->text(), QStringLiteral("&О программе"));

    QStringList hints;
    for (QAction* action : form.ToolBar1->actions())
        hints.append(action->isSeparator() ? QStringLiteral("|") : action->toolTip());
    EXPECT_EQ(hints, (QStringList{QStringLiteral("Поставить на учет"), QStringLiteral("Снять с учета"), QStringLiteral("|"),
                                  QStringLiteral("Проверить целостность"), QStringLiteral("|"), QStringLiteral("Помощь"),
                                  QStringLiteral("|"), QStringLiteral("Выход")}));
    EXPECT_EQ(form.ToolBar1->iconSize(), QSize(16, 16));
    for (QAction* action : {form.ToolButton1, form.ToolButton2, form.ToolButton4, form.ToolButton6, form.ToolButton8})
        EXPECT_FALSE(action->icon().pixmap(16, 16).isNull());

    ASSERT_EQ(form.ListBox1->count(), 2);
    EXPECT_EQ(form.ListBox1->item(0)->text(), QStringLiteral("/first"));
    EXPECT_EQ(form.ListBox1->item(1)->text(), QStringLiteral("/second"));
    EXPECT_EQ(form.statusText(), QStringLiteral("На учете находится: 12  файлов."));
}

TEST(MainFormTest, StartsWithoutADatabaseShowingTheErrorWithAnEmptyList)
{
    TempTree empty;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(empty.path());
    {
        Program program;
        program.main_form->show();
        ASSERT_EQ(program.errors.size(), 2) << "the connection, then the status count";
        EXPECT_TRUE(program.errors[0].contains(empty.path(QStringLiteral("file.gdb"))));
        EXPECT_TRUE(program.errors[0].endsWith(u'.'));
        EXPECT_EQ(program.main_form->ListBox1->count(), 0);
        EXPECT_EQ(program.main_form->statusText(), QString());
    }
    QDir::setCurrent(previous);
}

TEST(MainFormTest, ClosingTheWindowCommits)
{
    TempDatabase database;
    Program program;
    program.main_form->show();
    program.DM1.IBQuery1.executeStatement(Statement(u"insert into tab values(1,'/x','*')"));
    EXPECT_TRUE(program.main_form->close());
    EXPECT_EQ(committedRows(QStringLiteral("tab")), 1);
}

TEST(MainFormTest, TheExitCommandEndsTheLoopAndTheProgramCommitsOnItsWayOut)
{
    TempDatabase database;
    Program program;
    program.main_form->show();
    program.DM1.IBQuery1.executeStatement(Statement(u"insert into tab values(1,'/x','*')"));
    QTimer::singleShot(0, program.main_form->ToolButton8, &QAction::trigger);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(program.main_form->isVisible()) << "the exit command does not close the window";
    EXPECT_EQ(committedRows(QStringLiteral("tab")), 0);
    program.DM1.finish();
    EXPECT_EQ(committedRows(QStringLiteral("tab")), 1);
}

TEST(MainFormTest, HelpShowsOnlyItsMessageAndAboutItsThreeLines)
{
    TempDatabase database;
    Program program;
    program.main_form->show();
    QString help;
    whenModalOpens([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        help = box->text();
        box->accept();
    });
    program.main_form->ToolButton6->trigger();
    EXPECT_EQ(help, QStringLiteral("Справку можно написать и самому!!!"));

    QString about;
    whenModalOpens([&](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle(), QStringLiteral("О программе"));
        about = program.about_form->RichEdit1->toPlainText();
        EXPECT_TRUE(program.about_form->RichEdit1->isReadOnly());
        program.about_form->BitBtn1->click();
    });
    program.main_form->N9->trigger();
    EXPECT_EQ(about, QStringLiteral("Праграмма предназначена для \nконтроля за изменениями в \nфайловой системе\n"));
    EXPECT_FALSE(program.about_form->isVisible());
    EXPECT_TRUE(program.errors.isEmpty());
}

TEST(ErrorDisplayTest, AddsAFullStopOnlyAfterCharactersSortingAfterIt)
{
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("Нет файла")), QStringLiteral("Нет файла."));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("Bits index out of range")), QStringLiteral("Bits index out of range."));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("Ошибка инициализации файла ")), QStringLiteral("Ошибка инициализации файла "));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("done.")), QStringLiteral("done."));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("why!")), QStringLiteral("why!"));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("(x)")), QStringLiteral("(x)"));
    EXPECT_EQ(ErrorDisplayText(QStringLiteral("/tmp/a")), QStringLiteral("/tmp/a."));
    EXPECT_EQ(ErrorDisplayText(QString()), QString());
}

// A file may be named like markup; every message box shows such a name as
// the characters it is made of.
TEST(ErrorDisplayTest, MessageBoxesShowMarkupInANameAsText)
{
    const QString name = QStringLiteral("/tmp/<font color=red size=7>ВСЁ ЧИСТО");
    Treport_form report;
    const struct {
        const char* box;
        std::function<void()> open;
    } cases[] = {
        {"ErrorBox", [&] { RunShowingErrors([&] { throw EFileBitError(name); }); }},
        {"AcceptQuestion", [&] { report.showReport(CheckReport(), name); report.Button2->click(); }},
    };
    for (const auto& c : cases) {
        QString box;
        bool labelled = false;
        Qt::TextFormat format = Qt::AutoText;
        QString text;
        whenModalOpens([&](QWidget* modal) {
            box = modal->objectName();
            if (const auto* label = modal->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
                labelled = true;
                format = label->textFormat();
                text = label->text();
            }
            modal->close();
        });
        c.open();
        EXPECT_EQ(box, QString::fromLatin1(c.box));
        ASSERT_TRUE(labelled) << c.box;
        EXPECT_EQ(format, Qt::PlainText) << c.box;
        EXPECT_TRUE(text.contains(name)) << text.toStdString();
    }
}

} // namespace
