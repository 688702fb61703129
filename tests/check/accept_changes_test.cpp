#include "check/report_form.h"
#include "registration/put_under_control.h"
#include "shell/main_form.h"
#include "storage/connect.h"
#include "storage/database_file.h"
#include "support/file_rows.h"
#include "support/program.h"
#include "support/temp_tree.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class AcceptChangesTest : public ::testing::Test {
protected:
    AcceptChangesTest()
    {
        program.main_form->show();
        tree.file(QStringLiteral("d/gone.txt"), "1");
        tree.file(QStringLiteral("d/grown.txt"), "2");
        PutUnderControl(program.DM1, dir(), QStringLiteral("*"));
        program.main_form->ListBox1->addItem(dir());
        program.main_form->ListBox1->item(0)->setSelected(true);
    }
    QString dir() const { return tree.path(QStringLiteral("d")); }

    // Runs the check and, in its report, acts; returns whether "Принять изменения" showed.
    bool check(const std::function<void(Treport_form&)>& act)
    {
        bool shown = false;
        whenModalOpens([&](QWidget*) {
            shown = program.report_form->Button2->isVisible();
            act(*program.report_form);
        });
        program.main_form->ToolButton4->trigger();
        return shown;
    }
    // Answers the question box that "Принять изменения" asks, noting its text.
    void answer(QMessageBox::StandardButton button, QString* text)
    {
        whenModalOpens([=](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->objectName(), QStringLiteral("AcceptQuestion"));
            *text = box->text();
            box->button(button)->click();
        });
    }

    TempDatabase database;
    TempTree tree;
    Program program;
};

TEST_F(AcceptChangesTest, AcceptingAsksOnceThenRecordsTheChangesAndClosesTheReport)
{
    QFile::remove(tree.path(QStringLiteral("d/gone.txt")));
    tree.file(QStringLiteral("d/grown.txt"), "22");
    tree.file(QStringLiteral("d/new.txt"), "3");

    QString question;
    bool stillOpenAfterNo = false;
    bool closedAfterYes = false;
    const bool shown = check([&](Treport_form& report) {
        EXPECT_EQ(report.Button2->text(), QStringLiteral("Принять изменения"));
        answer(QMessageBox::No, &question);
        report.Button2->click();
        stillOpenAfterNo = report.isVisible();
        EXPECT_EQ(CountRows(program.DM1, QStringLiteral("table1")), 2);
        answer(QMessageBox::Yes, &question);
        report.Button2->click();
        closedAfterYes = !report.isVisible();
    });
    ASSERT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(stillOpenAfterNo);
    EXPECT_TRUE(closedAfterYes);
    EXPECT_TRUE(question.contains(dir())) << question.toStdString();
    EXPECT_EQ(program.main_form->statusText(), QStringLiteral("На учете находится: 2  файлов."));
    EXPECT_EQ(SortedFullNames(program.DM1, QStringLiteral("table1"), dir()),
              (QStringList{QStringLiteral("/grown.txt"), QStringLiteral("/new.txt")}));

    // The report of the next check lists nothing, and offers nothing to accept.
    QString deleted;
    EXPECT_FALSE(check([&](Treport_form& report) {
        deleted = Treport_form::listText(report.Memo1);
        report.Button1->click();
    }));
    EXPECT_EQ(deleted, QStringLiteral("Не обнаружено"));
    EXPECT_EQ(program.main_form->ListBox1->count(), 1);
}

TEST(MainFormDatabaseTest, TheWindowOpensTheDatabaseItIsGiven)
{
    TempDatabase here;
    TempTree elsewhere;
    const QString file = elsewhere.path(QStringLiteral("other.gdb"));
    CreateDatabaseFile(file);
    {
        TDM1 dm;
        ConnectDM1(dm, file);
        dm.IBQuery1.executeStatement(Statement(u"insert into tab values(1,'/elsewhere','*')"));
        dm.finish();
    }
    QStringList errors;
    SetErrorSinkForTests([&](const QString& text) { errors.append(text); });
    {
        TDM1 dm;
        TProgramWindows windows(dm, file);
        ASSERT_EQ(windows.main_form.ListBox1->count(), 1);
        EXPECT_EQ(windows.main_form.ListBox1->item(0)->text(), QStringLiteral("/elsewhere"));
        dm.finish();
    }
    SetErrorSinkForTests({});
    EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
}

// Ticked lines alone are accepted: by a click on one and Space on another,
// and the window then shows what is still outstanding; the line selected
// shows what its file was and is.
TEST_F(AcceptChangesTest, TheTickedFindingsAloneAreAcceptedAndTheRestStaysShown)
{
    QFile::remove(tree.path(QStringLiteral("d/gone.txt")));
    tree.file(QStringLiteral("d/grown.txt"), "22");
    tree.file(QStringLiteral("d/fresh.txt"), "3");
    tree.file(QStringLiteral("d/other.txt"), "4");
    QString details;
    QStringList outstanding;
    check([&](Treport_form& report) {
        ASSERT_TRUE(report.Button3->isVisible());
        report.Memo4->setCurrentRow(0); // grown.txt: its size
        details = report.DetailsMemo->toPlainText();
        report.Memo4->item(0)->setCheckState(Qt::Checked);
        report.Memo3->setFocus();
        report.Memo3->setCurrentRow(0); // fresh.txt, by Space
        QTest::keyClick(report.Memo3, Qt::Key_Space);
        report.Button3->click();
        outstanding = {Treport_form::listText(report.Memo1), Treport_form::listText(report.Memo3),
                       Treport_form::listText(report.Memo4)};
        report.Button1->click();
    });
    ASSERT_TRUE(program.errors.isEmpty()) << program.errors.join(u'\n').toStdString();
    EXPECT_TRUE(details.startsWith(QStringLiteral("* размер: 1 → 2\n"))) << details.toStdString();
    EXPECT_EQ(outstanding, (QStringList{tree.path(QStringLiteral("d/gone.txt")), tree.path(QStringLiteral("d/other.txt")),
                                        QStringLiteral("Не обнаружено")}));
    // The database holds what was accepted: the next check agrees.
    QStringList again;
    check([&](Treport_form& report) {
        again = {Treport_form::listText(report.Memo1), Treport_form::listText(report.Memo3),
                 Treport_form::listText(report.Memo4)};
        report.Button1->click();
    });
    EXPECT_EQ(again, outstanding);
}

} // namespace
