#include "registration/put_under_control.h"
#include "storage/connect.h"
#include "support/program.h"
#include "support/temp_tree.h"

#include <QDialog>
#include <QFile>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace std::chrono_literals;

QStringList listed(const Tmain_form& form)
{
    QStringList lines;
    for (int row = 0; row < form.ListBox1->count(); ++row)
        lines.append(form.ListBox1->item(row)->text());
    return lines;
}

// While the window is open, the line of a directory whose tree changed says
// how many names a check would report of what changed, until it is checked.
TEST(MainFormWatchTest, ALineCountsTheNamesChangedSinceItsLastCheck)
{
    TempDatabase database;
    TempTree tree;
    const QString d = tree.path(QStringLiteral("d")), e = tree.path(QStringLiteral("e"));
    tree.file(QStringLiteral("d/a.txt"), "a");
    tree.file(QStringLiteral("d/sub/b.txt"), "b");
    tree.file(QStringLiteral("e/c.txt"), "c");
    {
        TDM1 dm;
        ConnectDM1(dm, kDatabaseFileName);
        PutUnderControl(dm, d, QStringLiteral("*"));
        PutUnderControl(dm, e, QStringLiteral("*"));
        dm.finish();
    }
    Program program;
    Tmain_form& form = *program.main_form;
    form.setWatchQuiet(200ms);
    form.show();
    const QString changed = QStringLiteral("  — изменено имен: ");

    const struct {
        const char* what;
        std::function<void()> change;
        QStringList lines;
    } cases[] = {
        {"a changed file and a new one", [&] {
             tree.file(QStringLiteral("d/a.txt"), "changed");
             tree.file(QStringLiteral("d/sub/n.txt"), "n");
         }, {d + changed + u'2', e}},
        {"a change undone", [&] { tree.file(QStringLiteral("d/a.txt"), "a"); }, {d + changed + u'1', e}},
        {"a directory made, and a file deleted elsewhere", [&] {
             tree.dir(QStringLiteral("d/nd"));
             QFile::remove(tree.path(QStringLiteral("e/c.txt")));
         }, {d + changed + u'2', e + changed + u'1'}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        each.change();
        EXPECT_TRUE(QTest::qWaitFor([&] { return listed(form) == each.lines; }, 30000))
            << listed(form).join(u'\n').toStdString();
    }

    // The check sees the changes: the line says so instead, and is still
    // its directory's.
    form.ListBox1->setCurrentRow(0);
    whenModalOpens([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    form.ToolButton4->trigger();
    EXPECT_TRUE(listed(form)[0].startsWith(d + QStringLiteral("  — проверено "))) << listed(form)[0].toStdString();
    EXPECT_TRUE(listed(form)[0].endsWith(QStringLiteral(": найдено 2"))) << listed(form)[0].toStdString();
    EXPECT_EQ(listed(form)[1], e + changed + u'1');
    EXPECT_EQ(form.directoryOf(1), e);
    EXPECT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
}

} // namespace
