#include "registration/directory_list_box.h"
#include "seal/seal_key.h"
#include "registration/put_under_control.h"
#include "seal/sealed_change.h"
#include "shell/progress_window.h"
#include "support/file_rows.h"
#include "support/program.h"
#include "support/temp_tree.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

class ReportFormTest : public ::testing::Test {
protected:
    ReportFormTest() { program.main_form->show(); }

    void putUnderControl(const QString& dir)
    {
        PutUnderControl(program.DM1, dir, QStringLiteral("*"));
        program.main_form->ListBox1->addItem(dir);
    }

    TempDatabase database;
    TempTree tree;
    Program program;
};

TEST_F(ReportFormTest, TheCheckShowsItsFourListsInTheReportWindow)
{
    tree.file(QStringLiteral("d/gone.txt"), "1");
    tree.file(QStringLiteral("d/grown.txt"), "2");
    putUnderControl(tree.path(QStringLiteral("d")));
    QFile::remove(tree.path(QStringLiteral("d/gone.txt")));
    tree.file(QStringLiteral("d/grown.txt"), "22");
    // A directory too deep to be walked: named after the four lists.
    ASSERT_GT(MakeTooLongPath(tree.dir(QStringLiteral("d/deep"))), 0);
    program.main_form->ListBox1->item(0)->setSelected(true);

    QStringList seen;
    QString notExamined;
    whenModalOpens([&](QWidget* modal) {
        Treport_form& r = *program.report_form;
        EXPECT_EQ(modal, &r);
        EXPECT_EQ(r.windowTitle(), QStringLiteral("Отчет"));
        seen = {r.Label1->text(), Treport_form::listText(r.Memo1), r.Label2->text(), Treport_form::listText(r.Memo2),
                r.Label3->text(), Treport_form::listText(r.Memo3), r.Label4->text(), Treport_form::listText(r.Memo4)};
        EXPECT_EQ(r.Memo4->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(r.Button1->text(), QStringLiteral("Закрыть"));
        if (r.NotExaminedMemo->isVisibleTo(&r) && r.NotExaminedLabel->isVisibleTo(&r))
            notExamined = r.NotExaminedLabel->text() + u'\n' + r.NotExaminedMemo->toPlainText();
        r.Button1->click();
    });
    program.main_form->ToolButton4->trigger();
    ASSERT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
    const QString grown = tree.path(QStringLiteral("d/grown.txt"));
    // The new directories of the deep one, as deep as they can be walked.
    ASSERT_EQ(seen.size(), 8);
    EXPECT_TRUE(seen[5].startsWith(tree.path(QStringLiteral("d/deep/")) + u'\n')) << seen[5].toStdString();
    for (const QString& line : seen[5].split(u'\n'))
        EXPECT_TRUE(line.endsWith(u'/')) << line.toStdString();
    seen[5] = QStringLiteral("deep/...");
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Удаленные файлы"), tree.path(QStringLiteral("d/gone.txt")),
                                 QStringLiteral("Перемещенные файлы"), QStringLiteral("Не обнаружено"),
                                 QStringLiteral("Новые файлы"), QStringLiteral("deep/..."),
                                 QStringLiteral("Измененные файлы"),
                                 grown + QStringLiteral(" изменен размер файла,\n") + grown + QStringLiteral(" изменено содержание файла,")}));
    EXPECT_TRUE(notExamined.startsWith(QStringLiteral("Не проверено\n") + tree.path(QStringLiteral("d/deep/"))))
        << notExamined.toStdString();
    EXPECT_TRUE(notExamined.endsWith(QStringLiteral(": слишком длинный путь"))) << notExamined.toStdString();
    EXPECT_FALSE(program.report_form->isVisible());
    EXPECT_EQ(CountRows(program.DM1, QStringLiteral("table2")), 0);
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), tree.path(QStringLiteral("d/deep"))});
}

// The window verifies with the public key set up, and shows what it found
// above its lists.
TEST_F(ReportFormTest, TheSealsVerdictStandsAboveTheLists)
{
    tree.file(QStringLiteral("d/a.txt"), "a");
    putUnderControl(tree.path(QStringLiteral("d")));
    const SealKey key = SealKey::generate();
    const QString publicKey = tree.path(QStringLiteral("seal.pub"));
    key.writePublic(publicKey);
    SealDatabase(program.DM1.IBQuery1, &key);
    program.DM1.IBQuery1.executeStatement(Statement(u"update table1 set crc1=crc1+1"));
    struct PublicKey {
        explicit PublicKey(const QString& file) { qputenv("KVAREN_PUBLIC_KEY", QFile::encodeName(file)); }
        ~PublicKey() { qunsetenv("KVAREN_PUBLIC_KEY"); }
    } setUp(publicKey);
    program.main_form->ListBox1->item(0)->setSelected(true);

    QString seal;
    bool shown = false;
    whenModalOpens([&](QWidget*) {
        Treport_form& r = *program.report_form;
        seal = r.SealLabel->text();
        shown = r.SealLabel->isVisibleTo(&r);
        r.Button1->click();
    });
    program.main_form->ToolButton4->trigger();
    ASSERT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
    EXPECT_TRUE(shown);
    EXPECT_EQ(seal, QStringLiteral("Записи директории изменены помимо программы: ") + tree.path(QStringLiteral("d")));
}

TEST_F(ReportFormTest, WithoutASelectionTheCheckOnlyClearsTheLists)
{
    tree.dir(QStringLiteral("d"));
    putUnderControl(tree.path(QStringLiteral("d")));
    program.report_form->Memo1->addItem(QStringLiteral("old"));
    program.main_form->N5->trigger();
    EXPECT_EQ(program.report_form->Memo1->count(), 0);
    EXPECT_FALSE(program.report_form->isVisible());
}

// Counts paint events of a widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST_F(ReportFormTest, ALongWalkKeepsPaintingShowsItsProgressAndLetsNoOtherCommandStart)
{
    // Shown sooner than for a user, so that a tree quick to make is long enough.
    struct ShowSooner {
        ShowSooner() { ProgressWindow::showAfterMs = 50; }
        ~ShowSooner() { ProgressWindow::showAfterMs = 500; }
    } sooner;
    for (int i = 0; i < 20000; ++i)
        tree.file(QStringLiteral("big/%1/f%2.txt").arg(i / 100).arg(i), QByteArray::number(i));

    PaintCounter counter;
    program.main_form->ListBox1->viewport()->installEventFilter(&counter);
    int paintsWhileBusy = 0;
    QString progressText;
    bool secondCommandStarted = false;
    bool closeRefused = false;
    QTimer poke;
    poke.setInterval(20);
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (!program.main_form->busy())
            return;
        paintsWhileBusy = counter.paints;
        program.main_form->ListBox1->viewport()->update();
        if (ProgressWindow* progress = program.main_form->progress())
            if (QProgressDialog* dialog = progress->dialog())
                if (dialog->isVisible())
                    progressText = dialog->labelText();
        // A command asked for meanwhile does not start, nor does the program end.
        program.main_form->ToolButton4->trigger();
        closeRefused = !program.main_form->close() && program.main_form->isVisible();
        secondCommandStarted = secondCommandStarted || program.open_dir->isVisible() || program.report_form->isVisible();
    });

    whenModalOpens([&](QWidget*) {
        program.open_dir->DirectoryListBox1->setDirectory(tree.path(QStringLiteral("big")));
        poke.start();
        counter.paints = 0;
        program.open_dir->Button1->click();
    });
    program.main_form->N2->trigger();
    poke.stop();

    ASSERT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
    EXPECT_EQ(program.main_form->statusText(), QStringLiteral("На учете находится: 20000  файлов."));
    EXPECT_GT(paintsWhileBusy, 0) << "the main window painted while the walk ran";
    EXPECT_TRUE(progressText.startsWith(QStringLiteral("Поставить на учет\nФайлов: "))) << progressText.toStdString();
    EXPECT_TRUE(progressText.contains(tree.path(QStringLiteral("big")).left(20))) << progressText.toStdString();
    EXPECT_FALSE(secondCommandStarted);
    EXPECT_TRUE(closeRefused);
    EXPECT_FALSE(program.main_form->busy());
    EXPECT_EQ(program.main_form->progress(), nullptr);
}

} // namespace
