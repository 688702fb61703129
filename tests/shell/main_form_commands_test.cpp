#include "check/check_run.h"
#include "registration/directory_list_box.h"
#include "registration/put_under_control.h"
#include "storage/connect.h"
#include "support/file_rows.h"
#include "support/program.h"
#include "support/temp_tree.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QListWidget>

#include <algorithm>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Directories under control, committed before the program starts: each with
// rowsEach baseline rows, ids counted on from 1.
void putUnderControl(const QStringList& dirs, int rowsEach)
{
    TDM1 dm;
    ConnectDM1(dm, kDatabaseFileName);
    int id = 0;
    for (int d = 0; d < dirs.size(); ++d) {
        dm.IBQuery1.executeStatement(Statement(u"insert into tab values(").number(d + 1).sql(u",").quoted(dirs[d]).sql(u",'*')"));
        for (int r = 0; r < rowsEach; ++r)
            dm.IBQuery1.executeStatement(
                Statement(u"insert into table1 values (").number(++id).sql(u",").quoted(QStringLiteral("f%1").arg(r)).sql(u",").quoted(dirs[d]).sql(u",1,'0','001',1,1)"));
    }
    dm.finish();
}

QStringList listed(const Tmain_form& form)
{
    QStringList lines;
    for (int row = 0; row < form.ListBox1->count(); ++row)
        lines.append(form.ListBox1->item(row)->text());
    return lines;
}

QStringList tabRows(TDM1& dm)
{
    QStringList dirs;
    dm.IBQuery1.openStatement(Statement(u"select count(*) from tab"));
    const qint32 count = dm.IBQuery1.fieldAsInteger(QStringLiteral("count"));
    dm.IBQuery1.openStatement(Statement(u"select file_name from tab"));
    for (qint32 i = 0; i < count; ++i) {
        if (i > 0)
            dm.IBQuery1.next();
        dirs.append(dm.IBQuery1.fieldAsString(QStringLiteral("file_name")));
    }
    dirs.sort();
    return dirs;
}

int statementsPrepared(Program& program)
{
    return program.DM1.IBQuery1.prepareCount() + program.DM1.IBQuery2.prepareCount();
}

// A second press of "Снять с учета", as a double click on the button gives,
// finds nothing selected and takes nothing more out of control.
TEST(MainFormCommandsTest, AfterRemovingNoLineIsSelectedAndASecondPressDoesNothing)
{
    TempDatabase database;
    putUnderControl({QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/c"), QStringLiteral("/d")}, 2);
    Program program;
    Tmain_form& form = *program.main_form;
    form.show();
    ASSERT_EQ(listed(form), (QStringList{QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/c"), QStringLiteral("/d")}));

    form.ListBox1->setCurrentRow(0);
    form.ToolButton2->trigger();
    const int prepared = statementsPrepared(program);
    form.ToolButton2->trigger();
    EXPECT_EQ(statementsPrepared(program), prepared) << "the second press ran statements";
    EXPECT_EQ(listed(form), (QStringList{QStringLiteral("/b"), QStringLiteral("/c"), QStringLiteral("/d")}));
    EXPECT_TRUE(form.ListBox1->selectedItems().isEmpty());

    // A line in the middle, through the menu item: the lines after it move up.
    form.ListBox1->setCurrentRow(1);
    form.N3->trigger();
    form.N3->trigger();
    EXPECT_EQ(listed(form), (QStringList{QStringLiteral("/b"), QStringLiteral("/d")}));
    EXPECT_TRUE(form.ListBox1->selectedItems().isEmpty());
    EXPECT_EQ(tabRows(program.DM1), (QStringList{QStringLiteral("/b"), QStringLiteral("/d")}));
    EXPECT_EQ(CountRows(program.DM1, QStringLiteral("table1")), 4);
    EXPECT_EQ(form.statusText(), QStringLiteral("На учете находится: 4  файлов."));
    EXPECT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
}

// A directory under control twice: the selected line is the registration
// taken out, with its own rows; the other line keeps its registration whole.
TEST(MainFormCommandsTest, TheSelectedLineIsTheRegistrationTakenOut)
{
    TempDatabase database;
    TempTree tree;
    tree.file(QStringLiteral("d/a.txt"), "a");
    tree.file(QStringLiteral("d/b.doc"), "b");
    const QString d = tree.path(QStringLiteral("d"));
    {
        TDM1 dm;
        ConnectDM1(dm, kDatabaseFileName);
        PutUnderControl(dm, d, QStringLiteral("*"));
        PutUnderControl(dm, d, QStringLiteral("txt"));
        dm.finish();
    }
    Program program;
    Tmain_form& form = *program.main_form;
    form.show();
    ASSERT_EQ(listed(form), (QStringList{d, d}));
    form.ListBox1->setCurrentRow(1);
    form.ToolButton2->trigger();
    EXPECT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
    program.DM1.IBQuery1.openStatement(Statement(u"select ext from tab"));
    EXPECT_EQ(program.DM1.IBQuery1.fieldAsString(QStringLiteral("ext")), QStringLiteral("*"));
    EXPECT_EQ(CountRows(program.DM1, QStringLiteral("table1")), 2) << "the first registration's rows";
    EXPECT_EQ(RunCheck(program.DM1, d).foundBits(), 0);
}

// A failing delete undoes the whole command: the tab row and every file row
// are back, the line stays and the status line keeps the old count.
TEST(MainFormCommandsTest, RemovingThatFailsPartWayUndoesItKeepingTheLineAndTheStatusLine)
{
    TempDatabase database;
    putUnderControl({QStringLiteral("/a")}, 3);
    {
        TDM1 dm;
        ConnectDM1(dm, kDatabaseFileName);
        dm.IBQuery1.executeStatement(Statement(u"create exception row_kept 'row 2 is kept'"));
        dm.IBTransaction1.commit();
        dm.IBTransaction1.startTransaction();
        dm.IBQuery1.executeStatement(Statement(
            u"create trigger table1_keep for table1 before delete as begin if (old.id = 2) then exception row_kept; end"));
        dm.finish();
    }
    Program program;
    Tmain_form& form = *program.main_form;
    form.show();
    // Rows the status line has not counted yet, more than the deletes before
    // the failing one can take away: a refresh would change the count.
    for (int id = 100; id < 103; ++id)
        program.DM1.IBQuery1.executeStatement(
            Statement(u"insert into table1 values (").number(id).sql(u",'f','/elsewhere',1,'0','001',1,1)"));
    form.ListBox1->setCurrentRow(0);
    form.ToolButton2->trigger();

    ASSERT_EQ(program.errors.size(), 1);
    EXPECT_TRUE(program.errors[0].contains(QStringLiteral("row 2 is kept"))) << program.errors[0].toStdString();
    EXPECT_EQ(listed(form), QStringList{QStringLiteral("/a")});
    EXPECT_EQ(form.statusText(), QStringLiteral("На учете находится: 3  файлов."));
    EXPECT_EQ(tabRows(program.DM1), QStringList{QStringLiteral("/a")});
    QList<qint32> ids;
    for (const FileRow& row : ReadFileRows(program.DM1, QStringLiteral("table1")))
        ids.append(row.id);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (QList<qint32>{1, 2, 3, 100, 101, 102})) << "what came before the command stays";
}

class PutUnderControlCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = std::make_unique<Program>();
        program->main_form->show();
    }
    // Presses "Поставить на учет", opens dir in the dialog, runs beforeOk and
    // presses Ok.
    void put(const QString& dir, const std::function<void()>& beforeOk = {})
    {
        whenModalOpens([&](QWidget*) {
            program->open_dir->DirectoryListBox1->setDirectory(dir);
            if (beforeOk)
                beforeOk();
            program->open_dir->Button1->click();
        });
        program->main_form->ToolButton1->trigger();
    }

    TempDatabase database;
    TempTree tree;
    std::unique_ptr<Program> program;
};

TEST_F(PutUnderControlCommandTest, ADirectoryGoneSinceTheDialogShowedItIsRefusedAsTheConsoleRefusesIt)
{
    const QString gone = tree.dir(QStringLiteral("gone"));
    put(gone, [&] { ASSERT_TRUE(QDir(gone).removeRecursively()); });
    EXPECT_EQ(program->errors, QStringList{QStringLiteral("Директория не найдена: ") + gone + u'.'});
    EXPECT_EQ(program->main_form->ListBox1->count(), 0);
    EXPECT_EQ(CountRows(program->DM1, QStringLiteral("tab")), 0);
    EXPECT_EQ(program->main_form->statusText(), QStringLiteral("На учете находится: 0  файлов."));
}

// A file no one may read costs only itself: the rest is put under control,
// and a warning names the file, as plain text whatever the name holds.
TEST_F(PutUnderControlCommandTest, AnUnreadableFileIsNamedAndTheRestIsPutUnderControl)
{
    tree.file(QStringLiteral("work/a.txt"), "a");
    const QString bad = tree.path(QStringLiteral("work/<font color=red>bad.txt"));
    ASSERT_TRUE(MakeUnreadableFile(bad));
    const WithoutOverridingPermissions asAnyUser;
    if (!asAnyUser.holds())
        GTEST_SKIP() << "root's permissions cannot be given up here";
    QString warned;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            answer.stop();
            warned = box->detailedText();
            box->accept();
        }
    });
    answer.start(5);
    put(tree.path(QStringLiteral("work")));
    EXPECT_EQ(program->errors, QStringList());
    EXPECT_EQ(warned, bad + QStringLiteral(": нет доступа"));
    EXPECT_EQ(listed(*program->main_form), QStringList{tree.path(QStringLiteral("work"))});
    EXPECT_EQ(program->main_form->statusText(), QStringLiteral("На учете находится: 1  файлов."));
}

TEST(MainFormCommandsTest, ThePointerOnAToolButtonLeavesTheCountInTheStatusLine)
{
    TempDatabase database;
    putUnderControl({QStringLiteral("/a")}, 5);
    Program program;
    Tmain_form& form = *program.main_form;
    form.show();
    const QString count = QStringLiteral("На учете находится: 5  файлов.");
    ASSERT_EQ(form.statusText(), count);
    auto* panel = form.findChild<QWidget*>(QStringLiteral("StatusPanel"));
    ASSERT_NE(panel, nullptr);
    for (QAction* action : {form.ToolButton1, form.ToolButton2, form.ToolButton4, form.ToolButton6, form.ToolButton8}) {
        QWidget* button = form.ToolBar1->widgetForAction(action);
        QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), button->mapToGlobal(QPointF(4, 4)));
        QApplication::sendEvent(button, &enter);
        EXPECT_EQ(form.statusBar()->currentMessage(), QString()) << action->toolTip().toStdString();
        EXPECT_FALSE(panel->isHidden()) << action->toolTip().toStdString();
        EXPECT_EQ(form.statusText(), count);
        EXPECT_FALSE(action->toolTip().isEmpty());
    }
}

TEST(MainFormCommandsTest, ToolBarSeparatorsAreEightPixelsWide)
{
    TempDatabase database;
    Program program;
    Tmain_form& form = *program.main_form;
    form.show();
    QApplication::processEvents();
    int separators = 0;
    for (QAction* action : form.ToolBar1->actions()) {
        if (!action->isSeparator())
            continue;
        ++separators;
        EXPECT_EQ(form.ToolBar1->widgetForAction(action)->width(), 8) << action->objectName().toStdString();
    }
    EXPECT_EQ(separators, 3);
}

} // namespace
