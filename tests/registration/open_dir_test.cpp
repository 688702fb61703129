#include "registration/directory_list_box.h"
#include "scan/pseudo_file_systems.h"
#include "storage/connect.h"
#include "support/file_rows.h"
#include "support/program.h"
#include "support/temp_tree.h"

#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStorageInfo>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class OpenDirTest : public ::testing::Test {
protected:
    OpenDirTest()
    {
        tree.file(QStringLiteral("work/a.txt"), "a");
        tree.file(QStringLiteral("work/b.doc"), "b");
        tree.file(QStringLiteral("work/sub/c.txt"), "c");
        program = std::make_unique<Program>();
        program->main_form->show();
    }

    Topen_dir& dialog() { return *program->open_dir; }
    // The command first moves the dialog to the root's drive; where the
    // temporary directory is a file system of its own, that leaves it.
    void openWork() { dialog().DirectoryListBox1->setDirectory(tree.path(QStringLiteral("work"))); }
    void check(const QString& type)
    {
        auto items = dialog().CheckListBox1->findItems(type, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        items[0]->setCheckState(Qt::Checked);
    }

    TempDatabase database;
    TempTree tree;
    std::unique_ptr<Program> program;
};

TEST_F(OpenDirTest, OffersItsControlsAndTheTwentyTypes)
{
    Topen_dir& d = dialog();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Выбор директории"));
    EXPECT_EQ(d.Label1->text(), QStringLiteral("Вабор директории"));
    EXPECT_EQ(d.Label2->text(), QStringLiteral("Выбор типа файлов"));
    EXPECT_EQ(d.Button1->text(), QStringLiteral("Ok"));
    EXPECT_EQ(d.Button2->text(), QStringLiteral("Отмена"));
    EXPECT_EQ(d.DirectoryListBox1->geometry(), QRect(0, 16, 145, 137));
    EXPECT_EQ(d.CheckListBox1->geometry(), QRect(152, 16, 81, 137));
    QStringList types;
    for (int i = 0; i < d.CheckListBox1->count(); ++i)
        types.append(d.CheckListBox1->item(i)->text());
    EXPECT_EQ(types.join(u' '), QStringLiteral("* exe com bat doc txt pdf inf htm html xml rtf bmp gif mp3 wav sys ico xls dll"));
    EXPECT_EQ(d.directory(), database.directory()) << "starts on the working directory";
    EXPECT_GE(d.DriveComboBox1->findText(QStringLiteral("/")), 0);
}

TEST_F(OpenDirTest, PuttingADirectoryUnderControlListsItAndCountsItsMatchingFiles)
{
    whenModalOpens([&](QWidget*) {
        openWork();
        check(QStringLiteral("txt"));
        dialog().Button1->click();
    });
    program->main_form->ToolButton1->trigger();
    ASSERT_TRUE(program->errors.isEmpty()) << program->errors.join(u'\n').toStdString();
    ASSERT_EQ(program->main_form->ListBox1->count(), 1);
    EXPECT_EQ(program->main_form->ListBox1->item(0)->text(), dialog().directory());
    EXPECT_EQ(program->main_form->statusText(), QStringLiteral("На учете находится: 2  файлов."));

    // The check mark stays for the next showing; the memo is emptied.
    bool txtChecked = false;
    QString memo = QStringLiteral("not read");
    whenModalOpens([&](QWidget*) {
        txtChecked = dialog().checkedTypes() == QStringList{QStringLiteral("txt")};
        memo = dialog().Memo1->toPlainText();
        dialog().Memo1->setPlainText(QStringLiteral("doc"));
        openWork();
        dialog().Button1->click();
    });
    program->main_form->N2->trigger();
    EXPECT_TRUE(txtChecked);
    EXPECT_EQ(memo, QString());
    EXPECT_EQ(program->main_form->ListBox1->count(), 2);
    EXPECT_EQ(program->main_form->statusText(), QStringLiteral("На учете находится: 5  файлов."));
    program->DM1.IBQuery1.openStatement(Statement(u"select * from tab where id=2"));
    EXPECT_EQ(program->DM1.IBQuery1.fieldAsString(QStringLiteral("ext")), QStringLiteral("txt,doc"));
}

TEST_F(OpenDirTest, CancelAddsNothing)
{
    whenModalOpens([&](QWidget*) {
        check(QStringLiteral("txt"));
        dialog().Button2->click();
    });
    program->main_form->N2->trigger();
    EXPECT_EQ(program->main_form->ListBox1->count(), 0);
    EXPECT_EQ(CountRows(program->DM1, QStringLiteral("tab")), 0);
    EXPECT_EQ(CountRows(program->DM1, QStringLiteral("table1")), 0);
}

TEST_F(OpenDirTest, OnlyAnOpenedDirectoryIsTheDialogsDirectory)
{
    openWork();
    TDirectoryListBox& list = *dialog().DirectoryListBox1;
    const QString work = tree.path(QStringLiteral("work"));
    ASSERT_EQ(list.directory(), work);
    // The levels from the root down, then the subdirectories.
    const int levels = work.count(u'/') + 1;
    ASSERT_EQ(list.count(), levels + 1);
    EXPECT_EQ(list.item(0)->text().trimmed(), QStringLiteral("/"));
    EXPECT_EQ(list.item(levels)->text().trimmed(), QStringLiteral("sub"));

    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(levels)).center());
    EXPECT_EQ(list.currentRow(), levels);
    EXPECT_EQ(dialog().directory(), work) << "a single click only highlights";

    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(levels)).center());
    EXPECT_EQ(dialog().directory(), work + QStringLiteral("/sub"));

    // Enter opens the highlighted level (the parent) and does not end the dialog.
    bool stillShown = false;
    whenModalOpens([&](QWidget*) {
        list.setCurrentRow(levels - 1);
        QTest::keyClick(&list, Qt::Key_Return);
        QTest::keyClick(&dialog(), Qt::Key_Escape);
        stillShown = dialog().isVisible();
        dialog().Button2->click();
    });
    dialog().exec();
    EXPECT_TRUE(stillShown);
    EXPECT_EQ(dialog().directory(), work);
}

TEST_F(OpenDirTest, RemovingTheSelectedDirectoryDeletesItsRowsAndNothingWithoutASelection)
{
    whenModalOpens([&](QWidget*) {
        openWork();
        dialog().Button1->click();
    });
    program->main_form->N2->trigger();
    ASSERT_EQ(program->main_form->statusText(), QStringLiteral("На учете находится: 3  файлов."));

    program->main_form->ListBox1->clearSelection();
    const int prepared = program->DM1.IBQuery1.prepareCount() + program->DM1.IBQuery2.prepareCount();
    program->main_form->N3->trigger();
    EXPECT_EQ(program->main_form->ListBox1->count(), 1);
    EXPECT_EQ(program->DM1.IBQuery1.prepareCount() + program->DM1.IBQuery2.prepareCount(), prepared);

    program->main_form->ListBox1->item(0)->setSelected(true);
    program->main_form->ToolButton2->trigger();
    EXPECT_TRUE(program->errors.isEmpty()) << program->errors.join(u'\n').toStdString();
    EXPECT_EQ(program->main_form->ListBox1->count(), 0);
    EXPECT_EQ(program->main_form->statusText(), QStringLiteral("На учете находится: 0  файлов."));
    EXPECT_EQ(CountRows(program->DM1, QStringLiteral("tab")), 0);
}


// The kernel's interfaces are no drives to put under control.
TEST_F(OpenDirTest, TheDriveListOffersNoPseudoFileSystem)
{
    QStringList offered;
    for (int i = 0; i < dialog().DriveComboBox1->count(); ++i)
        offered.append(dialog().DriveComboBox1->itemText(i));
    EXPECT_TRUE(offered.contains(QStringLiteral("/")));
    for (const QString& drive : offered) {
        EXPECT_FALSE(IsPseudoFileSystemType(QString::fromUtf8(QStorageInfo(drive).fileSystemType()))) << drive.toStdString();
        EXPECT_FALSE(drive == u"/proc" || drive.startsWith(u"/proc/") || drive == u"/sys" || drive.startsWith(u"/sys/"))
            << drive.toStdString();
    }
}

} // namespace
