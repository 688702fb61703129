#include "registration/directory_list_box.h"
#include "registration/open_dir.h"
#include "shell/main_form.h"
#include "shell/progress_window.h"
#include "shell/window_program.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "support/database_holder.h"
#include "support/file_rows.h"
#include "support/program.h"
#include "support/temp_tree.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace {

// Shown sooner than for a user, so that a tree quick to make is long enough.
struct ShowSooner {
    ShowSooner() { ProgressWindow::showAfterMs = 50; }
    ~ShowSooner() { ProgressWindow::showAfterMs = 500; }
};

void makeTrees(TempTree& tree)
{
    tree.file(QStringLiteral("small/a.txt"), "a");
    tree.file(QStringLiteral("small/b.txt"), "b");
    for (int i = 0; i < 6000; ++i)
        tree.file(QStringLiteral("big/%1/f%2.txt").arg(i / 100).arg(i), QByteArray::number(i));
}

// Puts dir under control through the window's dialog, as a user would.
void addThroughDialog(Tmain_form* mainForm, Topen_dir* openDir, const QString& dir)
{
    whenModalOpens([=](QWidget*) {
        openDir->DirectoryListBox1->setDirectory(dir);
        openDir->Button1->click();
    });
    mainForm->N2->trigger();
}

// Acts once the running command's progress window shows.
void whenProgressShows(Tmain_form* mainForm, const std::function<void(QProgressDialog*)>& act)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        ProgressWindow* progress = mainForm->progress();
        if (progress && progress->dialog() && progress->dialog()->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(progress->dialog());
        }
    });
    timer->start();
}

class StopWindowTest : public ::testing::TestWithParam<bool> {
protected:
    TempDatabase database;
    TempTree tree;
};

TEST_P(StopWindowTest, CancelStopsALongAddAndTheWindowShowsWhatItShowedBefore)
{
    const bool byEscape = GetParam();
    ShowSooner sooner;
    makeTrees(tree);
    Program program;
    addThroughDialog(program.main_form, program.open_dir, tree.path(QStringLiteral("small")));
    const QString status = program.main_form->statusText();
    ASSERT_EQ(status, QStringLiteral("На учете находится: 2  файлов."));

    bool asked = false;
    whenProgressShows(program.main_form, [&](QProgressDialog* dialog) {
        if (byEscape) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(dialog, &escape);
        } else {
            auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("CancelButton"));
            ASSERT_NE(cancel, nullptr);
            EXPECT_EQ(cancel->text(), QStringLiteral("Отмена"));
            cancel->click();
        }
        asked = true;
    });
    addThroughDialog(program.main_form, program.open_dir, tree.path(QStringLiteral("big")));

    ASSERT_TRUE(asked) << "the walk ended before its progress window showed";
    EXPECT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
    ASSERT_EQ(program.main_form->ListBox1->count(), 1);
    EXPECT_EQ(program.main_form->ListBox1->item(0)->text(), tree.path(QStringLiteral("small")));
    EXPECT_EQ(program.main_form->statusText(), status);
    EXPECT_FALSE(program.main_form->busy());
    EXPECT_EQ(CountRows(program.DM1, QStringLiteral("table1")), 2);
    EXPECT_EQ(CountRows(program.DM1, QStringLiteral("tab")), 1);
}

INSTANTIATE_TEST_SUITE_P(ButtonOrEscape, StopWindowTest, ::testing::Values(false, true));

TEST(ProgressWindowTest, ItsCloseBoxDoesNothing)
{
    ShowSooner sooner;
    QWidget parent;
    ProgressWindow progress(&parent, QStringLiteral("Поставить на учет"));
    QThread::msleep(60);
    progress.walking(QStringLiteral("/d"), 1);
    QThread::msleep(60);
    progress.walking(QStringLiteral("/d"), 2);
    ASSERT_NE(progress.dialog(), nullptr);
    EXPECT_FALSE(progress.dialog()->close());
    EXPECT_TRUE(progress.dialog()->isVisible());
    EXPECT_FALSE(CommandStop::asked());
}

TEST(BusyDatabaseTest, TheWindowSaysTheDatabaseIsBusyAndOpensWithAnEmptyList)
{
    TempDatabase database;
    DatabaseHolder holder;
    ASSERT_TRUE(holder.hold(database.file()));
    Program program;
    EXPECT_EQ(program.errors, QStringList{QStringLiteral("База данных занята другой программой: ") + database.file() + u'.'});
    EXPECT_EQ(program.main_form->ListBox1->count(), 0);
    EXPECT_FALSE(program.DM1.IBDatabase1.connected());
}

// The window program's whole life in a process of its own: commands driven as
// a user would, then SIGTERM sent to it. Exits with 0 when the program ended
// with status 0 and the database holds what it should, else with the step that
// went wrong.
enum class When { DuringACommand, Idle, AtStartUpsError };

[[noreturn]] void runWindowProgramAndEndItBySignal(When when)
{
    ShowSooner sooner;
    TempDatabase database;
    TempTree tree;
    makeTrees(tree);
    bool signalled = false;
    if (when == When::AtStartUpsError) {
        // Start-up shows that the database is missing, before the main loop.
        QFile::remove(database.file());
        whenModalOpens([&](QWidget*) {
            signalled = true;
            kill(getpid(), SIGTERM);
        });
        const int status = RunWindowProgram(*qApp, WindowOptions{});
        _exit(status == 0 && signalled ? 0 : 20);
    }
    QTimer::singleShot(0, [&] {
        Tmain_form* mainForm = nullptr;
        Topen_dir* openDir = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* form = qobject_cast<Tmain_form*>(widget))
                mainForm = form;
            if (auto* dialog = qobject_cast<Topen_dir*>(widget))
                openDir = dialog;
        }
        if (!mainForm || !openDir)
            _exit(10);
        addThroughDialog(mainForm, openDir, tree.path(QStringLiteral("small")));
        if (when == When::DuringACommand) {
            whenProgressShows(mainForm, [&](QProgressDialog*) {
                signalled = true;
                kill(getpid(), SIGTERM);
            });
            addThroughDialog(mainForm, openDir, tree.path(QStringLiteral("big")));
        } else {
            // Idle but for a modal window: the about box.
            whenModalOpens([&](QWidget*) {
                signalled = true;
                kill(getpid(), SIGTERM);
            });
            mainForm->N9->trigger();
        }
    });
    if (RunWindowProgram(*qApp, WindowOptions{}) != 0)
        _exit(11);
    if (!signalled)
        _exit(12);
    TDM1 dm;
    ConnectDM1(dm, kDatabaseFileName);
    if (CountRows(dm, QStringLiteral("tab")) != 1)
        _exit(13);
    if (CountRows(dm, QStringLiteral("table1")) != 2)
        _exit(14);
    dm.finish();
    _exit(0);
}

class WindowProgramDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(WindowProgramDeathTest, SigtermStopsTheRunningCommandAndEndsTheProgramCommittingWhatCameBefore)
{
    EXPECT_EXIT(runWindowProgramAndEndItBySignal(When::DuringACommand), ::testing::ExitedWithCode(0), "");
}

TEST_F(WindowProgramDeathTest, SigtermEndsAnIdleProgramThroughItsModalWindowsCommittingItsWork)
{
    EXPECT_EXIT(runWindowProgramAndEndItBySignal(When::Idle), ::testing::ExitedWithCode(0), "");
}

TEST_F(WindowProgramDeathTest, SigtermEndsTheProgramWhileStartUpShowsItsError)
{
    EXPECT_EXIT(runWindowProgramAndEndItBySignal(When::AtStartUpsError), ::testing::ExitedWithCode(0), "");
}

} // namespace
