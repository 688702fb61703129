#include "check/report_form.h"
#include "registration/directory_list_box.h"
#include "registration/open_dir.h"
#include "shell/main_form.h"
#include "storage/connect.h"
#include "support/program.h"
#include "support/temp_tree.h"

#include <QAction>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

struct Console {
    int status;
    QString out;
    QString err;
};

Console console(const QString& dir, const QStringList& args)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(QStringLiteral(KVAREN_CLI_PATH), args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// The window open all day beside the nightly check: the window's add is
// kept as soon as it ends, so the console sees it and may write beside the
// idle window.
TEST(SharedDatabaseWindowTest, TheWindowsAddIsKeptWhenItEndsAndTheConsoleWritesBesideIt)
{
    TempDatabase database;
    TempTree tree;
    const QString nightly = tree.dir(QStringLiteral("etc"));
    const QString own = tree.dir(QStringLiteral("home"));
    for (int i = 0; i < 50; ++i) {
        tree.file(QStringLiteral("etc/f%1.conf").arg(i), QByteArray::number(i));
        tree.file(QStringLiteral("home/n%1.txt").arg(i), QByteArray::number(-i));
    }
    ASSERT_EQ(console(database.directory(), {QStringLiteral("add"), nightly}).status, 0);

    Program program;
    Tmain_form& form = *program.main_form;
    form.show();
    whenModalOpens([&](QWidget*) {
        program.open_dir->DirectoryListBox1->setDirectory(own);
        program.open_dir->Button1->click();
    });
    form.ToolButton1->trigger();
    ASSERT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
    ASSERT_EQ(form.ListBox1->count(), 2);

    Console check = console(database.directory(), {QStringLiteral("check"), nightly});
    EXPECT_EQ(check.status, 0) << check.err.toStdString();
    EXPECT_EQ(check.out.count(QStringLiteral("Не обнаружено")), 4);
    EXPECT_EQ(console(database.directory(), {QStringLiteral("list")}).out,
              nightly + QStringLiteral("\tТипы файлов: *\n") + own + QStringLiteral("\tТипы файлов: *\nНа учете находится: 100  файлов.\n"))
        << "the window's add is committed";
    const Console update = console(database.directory(), {QStringLiteral("update"), nightly});
    EXPECT_EQ(update.status, 0) << update.err.toStdString();

    EXPECT_EQ(console(database.directory(), {QStringLiteral("update"), nightly}).status, 0);
    EXPECT_EQ(console(database.directory(), {QStringLiteral("list")}).out,
              nightly + QStringLiteral("\tТипы файлов: *\n") + own + QStringLiteral("\tТипы файлов: *\nНа учете находится: 100  файлов.\n"));
    // And the window, busy no more, sees what the console committed.
    form.ListBox1->item(1)->setSelected(true);
    whenModalOpens([&](QWidget*) { program.report_form->Button1->click(); });
    form.ToolButton4->trigger();
    EXPECT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();

    // Another program in the middle of a change: the window's add says so and
    // changes nothing.
    TDM1 other;
    ConnectDM1(other, database.file());
    other.IBTransaction1.beginWriting();
    whenModalOpens([&](QWidget*) {
        program.open_dir->DirectoryListBox1->setDirectory(tree.dir(QStringLiteral("later")));
        program.open_dir->Button1->click();
    });
    form.ToolButton1->trigger();
    EXPECT_EQ(program.errors, QStringList{QStringLiteral("База данных занята другой программой: ") + database.file() + u'.'});
    EXPECT_EQ(form.ListBox1->count(), 2);
    other.finish();
}

} // namespace
