#include "check/report_form.h"
#include "registration/directory_list_box.h"
#include "registration/open_dir.h"
#include "shell/desktop_look.h"
#include "shell/main_form.h"
#include "shell/progress_window.h"
#include "shell/window_database.h"
#include "storage/dm1.h"
#include "support/file_rows.h"
#include "support/program.h"
#include "support/temp_tree.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The window as a desktop user meets it: started from the menu on a fresh
// account, keys pressed through the application, Qt's own buttons in
// Russian, windows that grow.
namespace {

struct Environment {
    Environment(const char* name, const QByteArray& value) : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~Environment() { m_had ? qputenv(m_name, m_old) : qunsetenv(m_name); }
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

TEST(DesktopWindowTest, TheFirstStartFromTheMenuMakesTheUsersOwnDatabaseAndWorks)
{
    TempDatabase working; // the working directory, which holds no database of the user's
    QTemporaryDir data;
    Environment xdg("XDG_DATA_HOME", QFile::encodeName(data.path()));
    Environment named("KVAREN_DATABASE", QByteArray());
    qunsetenv("KVAREN_DATABASE");

    const QString own = data.path() + QStringLiteral("/kvaren/file.gdb");
    EXPECT_EQ(WindowDatabaseName(QString(), true), own);
    EXPECT_EQ(WindowDatabaseName(QString(), false), QStringLiteral("file.gdb")) << "from a terminal";
    EXPECT_EQ(WindowDatabaseName(QStringLiteral("/x.gdb"), true), QStringLiteral("/x.gdb"));
    {
        Environment env("KVAREN_DATABASE", "/y.gdb");
        EXPECT_EQ(WindowDatabaseName(QString(), true), QStringLiteral("/y.gdb"));
    }

    MakeUserDatabase(own);
    ASSERT_TRUE(QFileInfo::exists(own));
    const QDateTime made = QFileInfo(own).lastModified();
    MakeUserDatabase(own); // the second start keeps it
    EXPECT_EQ(QFileInfo(own).lastModified(), made);

    TempTree tree;
    tree.file(QStringLiteral("d/a.txt"), "a");
    Program::ErrorSink sink([](const QString& text) { ADD_FAILURE() << text.toStdString(); });
    TDM1 dm;
    TProgramWindows windows(dm, own);
    whenModalOpens([&](QWidget*) {
        windows.open_dir.DirectoryListBox1->setDirectory(tree.path(QStringLiteral("d")));
        windows.open_dir.Button1->click();
    });
    windows.main_form.N2->trigger();
    ASSERT_EQ(windows.main_form.ListBox1->count(), 1);
    EXPECT_EQ(windows.main_form.ListBox1->item(0)->toolTip(), QStringLiteral("Типы файлов: *"));
    EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), 1);
}

// A long add, stopped by Escape pressed on the window that has the focus,
// while the command runs its own event processing.
TEST(DesktopWindowTest, EscapePressedAsAUserWouldStopsTheRunningCommand)
{
    TempDatabase database;
    TempTree tree;
    for (int i = 0; i < 20000; ++i)
        tree.file(QStringLiteral("big/%1/f%2.txt").arg(i / 100).arg(i), QByteArray::number(i));
    ProgressWindow::showAfterMs = 20;
    Program program;
    bool pressed = false;
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [&] {
        // The key goes to whichever window has the focus, once one has.
        ProgressWindow* progress = program.main_form->progress();
        QWindow* focused = QGuiApplication::focusWindow();
        if (!progress || !progress->dialog() || !progress->dialog()->isVisible() || !focused)
            return;
        timer->stop();
        timer->deleteLater();
        QTest::keyClick(focused, Qt::Key_Escape);
        pressed = true;
    });
    timer->start();
    whenModalOpens([&](QWidget*) {
        program.open_dir->DirectoryListBox1->setDirectory(tree.path(QStringLiteral("big")));
        program.open_dir->Button1->click();
    });
    program.main_form->N2->trigger();
    ProgressWindow::showAfterMs = 500;

    ASSERT_TRUE(pressed) << "the walk ended before its progress window showed and had the focus";
    EXPECT_EQ(program.main_form->ListBox1->count(), 0);
    EXPECT_EQ(CountRows(program.DM1, QStringLiteral("table1")), 0);
}

TEST(DesktopWindowTest, StandardButtonsAreInRussianAndWindowsHaveTheProgramsIcon)
{
    InstallDesktopLook(*qApp);
    QMessageBox question(QMessageBox::Question, QStringLiteral("Kvaren"), QStringLiteral("?"),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::Ok);
    auto text = [&](QMessageBox::StandardButton button) { return question.button(button)->text().remove(u'&'); };
    EXPECT_EQ(text(QMessageBox::Yes), QStringLiteral("Да"));
    EXPECT_EQ(text(QMessageBox::No), QStringLiteral("Нет"));
    EXPECT_EQ(text(QMessageBox::Cancel), QStringLiteral("Отмена"));
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    EXPECT_FALSE(ProgramIcon().pixmap(32).isNull());
}

TEST(DesktopWindowTest, TheReportAndTheDirectoryDialogGrowWithTheirWindows)
{
    Treport_form report;
    report.Button2->show();
    report.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&report));
    // The first size holds the lists and the details, on a 1024×768 screen.
    EXPECT_EQ(report.geometry(), QRect(62, 30, 900, 700));
    EXPECT_GT(report.Memo1->height(), 80);
    EXPECT_GT(report.DetailsMemo->height(), 100);
    EXPECT_GT(report.Memo1->width(), 850);

    report.resize(1000, 760);
    QApplication::processEvents();
    for (QListWidget* memo : {report.Memo1, report.Memo2, report.Memo3, report.Memo4})
        EXPECT_GT(memo->width(), 950) << memo->objectName().toStdString();
    EXPECT_NEAR(report.Button1->geometry().bottom(), 760 - 7, 4);
    for (QPushButton* button : {report.Button1, report.Button2})
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    // The details grow as the user drags the splitter's handle.
    const int details = report.DetailsMemo->height();
    report.Splitter->setSizes({report.Splitter->height() / 3, report.Splitter->height() * 2 / 3});
    QApplication::processEvents();
    EXPECT_GT(report.DetailsMemo->height(), details + 100);

    Topen_dir dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const int listWidth = dialog.DirectoryListBox1->width();
    dialog.resize(700, 500);
    QApplication::processEvents();
    EXPECT_GT(dialog.DirectoryListBox1->width(), listWidth + 100);
    EXPECT_GT(dialog.DirectoryListBox1->height(), 300);
    EXPECT_GT(dialog.Button1->y(), 400);
}

// Each window opens where the user left it, the design's geometry being the
// first start's only; the user's settings hold them.
TEST(DesktopWindowTest, WindowsOpenAtTheSizeAndPlaceTheUserLeftThem)
{
    TempDatabase database;
    struct Case {
        const char* name;
        std::function<std::shared_ptr<QWidget>()> make;
        QRect design;
    };
    const Case cases[] = {
        {"main",
         [] {
             const auto program = std::make_shared<Program>();
             return std::shared_ptr<QWidget>(program, program->main_form);
         },
         QRect(331, 246, 366, 246)},
        {"directory", [] { return std::shared_ptr<QWidget>(std::make_shared<Topen_dir>()); }, QRect(359, 261, 323, 212)},
        {"report", [] { return std::shared_ptr<QWidget>(std::make_shared<Treport_form>()); }, QRect(62, 30, 900, 700)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QRect left(40, 60, 900, 640);
        {
            const std::shared_ptr<QWidget> first = c.make();
            first->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(first.get()));
            EXPECT_EQ(first->geometry(), c.design);
            first->setGeometry(left);
            QApplication::processEvents();
            first->hide();
        }
        const std::shared_ptr<QWidget> again = c.make();
        again->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(again.get()));
        EXPECT_EQ(again->geometry().size(), left.size());
    }
}

} // namespace
