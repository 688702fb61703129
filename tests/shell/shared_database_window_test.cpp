#include "check/report_form.h"
#include "registration/directory_list_box.h"
#include "registration/open_dir.h"
#include "shell/history_form.h"
#include "shell/main_form.h"
#include "storage/connect.h"
#include "support/program.h"
#include "support/temp_tree.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QScatterSeries>
#include <QTableWidget>
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

// A day's report worked through in the window: of 305 new files, the 300
// the filter shows ticked at once and accepted. The accept is the console's
// to see at once, as the window's killed the next moment would have kept it:
// its check agrees; the log has the window's check and its accept, and the
// history shows both checks.
TEST(SharedDatabaseWindowTest, ThreeHundredFindingsAcceptedAtOnceAreKeptLoggedAndCharted)
{
    TempDatabase database;
    TempTree tree;
    const QString dir = tree.dir(QStringLiteral("srv"));
    ASSERT_EQ(console(database.directory(), {QStringLiteral("add"), dir}).status, 0);
    for (int i = 0; i < 300; ++i)
        tree.file(QStringLiteral("srv/new-%1.txt").arg(i), QByteArray::number(i));
    for (int i = 0; i < 5; ++i)
        tree.file(QStringLiteral("srv/keep-%1.txt").arg(i), QByteArray::number(i));

    Program program;
    Tmain_form& form = *program.main_form;
    form.show();
    form.ListBox1->setCurrentRow(0);
    Treport_form& report = *program.report_form;
    QString filtered;
    whenModalOpens([&](QWidget*) {
        report.FilterEdit->setText(QStringLiteral("NEW-"));
        filtered = report.Count3->text();
        report.TickAllButton->click();
        report.Button3->click();
        report.Button1->click();
    });
    form.ToolButton4->trigger();
    ASSERT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
    EXPECT_EQ(filtered, QStringLiteral("(300 из 305)"));
    EXPECT_TRUE(form.ListBox1->item(0)->text().endsWith(QStringLiteral("найдено 305, после нее приняты изменения")))
        << form.ListBox1->item(0)->text().toStdString();

    const Console check = console(database.directory(), {QStringLiteral("check"), dir});
    EXPECT_EQ(check.status, 1) << check.out.toStdString();
    EXPECT_EQ(check.out.count(QStringLiteral("keep-")), 5);
    EXPECT_EQ(check.out.count(QStringLiteral("new-")), 0);
    const Console log = console(database.directory(), {QStringLiteral("log"), QStringLiteral("--json"), dir});
    const QJsonArray entries = QJsonDocument::fromJson(log.out.toUtf8())[QStringLiteral("entries")].toArray();
    ASSERT_EQ(entries.size(), 3) << log.out.toStdString();
    EXPECT_EQ(entries[0][QStringLiteral("new")].toInt(), 305);
    EXPECT_EQ(entries[1][QStringLiteral("kind")].toString(), QStringLiteral("accept-names"));
    EXPECT_EQ(entries[1][QStringLiteral("names")].toArray().size(), 300);
    EXPECT_EQ(entries[2][QStringLiteral("new")].toInt(), 5);

    QList<QPointF> points;
    QString firstSummary;
    int entryLines = 0;
    whenModalOpens([&](QWidget* modal) {
        auto& history = *qobject_cast<Thistory_form*>(modal);
        points = history.CheckPoints->points();
        if (!points.isEmpty())
            emit history.CheckPoints->clicked(points.first());
        firstSummary = history.SummaryLabel->text();
        entryLines = history.EntryTable->rowCount();
        history.close();
    });
    form.HistoryItem->trigger();
    ASSERT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
    ASSERT_EQ(points.size(), 2);
    EXPECT_EQ(points[0].y(), 305);
    EXPECT_EQ(points[1].y(), 5);
    EXPECT_LT(points[0].x(), points[1].x());
    EXPECT_TRUE(firstSummary.contains(QStringLiteral("новых 305"))) << firstSummary.toStdString();
    EXPECT_EQ(entryLines, 3);
}

} // namespace
