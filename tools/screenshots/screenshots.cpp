// Shows each window of the program on the screen (run it under Xvfb) and saves
// a PNG of the screen around it, so anyone can see what the program looks like.
// Usage: kvaren-screenshots OUTDIR [TREE [BIGTREE]]
// It works on file.gdb in the working directory; TREE, when given, is put under
// control, changed and checked so that the report has lines in every list.
// Its directory's history is shown with a fortnight of checks logged before.
// BIGTREE, when given, is put under control through the window's own command,
// and the screen is taken a few seconds in, with the progress window showing.
// Last, the report of hundreds of made-up findings (see SampleReport), as it
// opens and filtered.

#include "check/check_run.h"
#include "check/report_form.h"
#include "sample_report.h"
#include "registration/directory_list_box.h"
#include "registration/open_dir.h"
#include "registration/put_under_control.h"
#include "rows/event_log.h"
#include "rows/registration.h"
#include "shell/about_form.h"
#include "shell/application.h"
#include "shell/error_display.h"
#include "shell/main_form.h"
#include "shell/program_windows.h"
#include "storage/dm1.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdio>

namespace {

QString outDir;

void settle(int ms = 300)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void shoot(const QString& name, QWidget* window)
{
    settle();
    QRect area = window->frameGeometry().adjusted(-12, -12, 12, 12);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const QString path = outDir + u'/' + name + QStringLiteral(".png");
    shot.save(path);
    std::printf("%s\n", qPrintable(path));
}

// Takes a picture of the modal window that opens next, then closes it.
void shootModal(const QString& name, QWidget* under = nullptr)
{
    QTimer::singleShot(400, [name, under] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        shoot(name, under ? under : modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        modal->close();
    });
}

} // namespace

int main(int argc, char** argv)
{
    TApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kvaren-screenshots OUTDIR [TREE]\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    const QString tree = argc > 2 ? QDir(QString::fromLocal8Bit(argv[2])).absolutePath() : QString();
    const QString bigTree = argc > 3 ? QDir(QString::fromLocal8Bit(argv[3])).absolutePath() : QString();

    RunShowingErrors([&] {
        TDM1 DM1;
        TProgramWindows windows(DM1);
        Tmain_form& main_form = windows.main_form;
        Topen_dir& open_dir = windows.open_dir;
        Tabout_form& about_form = windows.about_form;
        main_form.show();

        if (!tree.isEmpty()) {
            PutUnderControl(DM1, tree, QStringLiteral("*"));
            main_form.ListBox1->addItem(tree);
            main_form.UpdateStatusCount();
        }
        shoot(QStringLiteral("main_form"), &main_form);

        open_dir.DirectoryListBox1->setDirectory(tree.isEmpty() ? QDir::currentPath() : tree);
        shootModal(QStringLiteral("open_dir"));
        open_dir.exec();

        shootModal(QStringLiteral("about_form"));
        about_form.exec();

        shootModal(QStringLiteral("help"));
        main_form.ToolButton6->trigger();

        if (!tree.isEmpty()) {
            // Some changes of every kind, then the check and its report.
            QDir(tree).mkpath(QStringLiteral("moved"));
            QFile::rename(tree + QStringLiteral("/a.txt"), tree + QStringLiteral("/moved/a.txt"));
            QFile::remove(tree + QStringLiteral("/b.txt"));
            QFile grow(tree + QStringLiteral("/c.txt"));
            if (grow.open(QIODevice::Append))
                grow.write("more");
            grow.close();
            QFile fresh(tree + QStringLiteral("/новый файл.txt"));
            if (fresh.open(QIODevice::WriteOnly))
                fresh.write("new");
            fresh.close();
            main_form.ListBox1->item(main_form.ListBox1->count() - 1)->setSelected(true);
            // The report as it opens and grown, then the question of
            // accepting the changes, answered no.
            QTimer::singleShot(400, [&] {
                Treport_form& report = windows.report_form;
                shoot(QStringLiteral("report_form"), &report);
                report.setGeometry(12, 40, 1000, 700); // the whole of it on the screen
                shoot(QStringLiteral("report_form_resized"), &report);
                // Two findings ticked, and what the changed file was and is.
                if (report.Memo3->count() > 0)
                    report.Memo3->item(0)->setCheckState(Qt::Checked);
                if (report.Memo4->count() > 0) {
                    report.Memo4->item(0)->setCheckState(Qt::Checked);
                    report.Memo4->setCurrentRow(0);
                }
                shoot(QStringLiteral("report_form_ticked"), &report);
                shootModal(QStringLiteral("accept_question"));
                report.Button2->click();
                // Closing with ticks asks first; answered no, the ticks
                // are dropped by hand.
                shootModal(QStringLiteral("pending_ticks_question"));
                report.close();
                report.UntickAllButton->click();
                report.close();
            });
            main_form.ToolButton4->trigger();

            // A fortnight of nightly checks before today's, one of them the
            // day of a package upgrade, and its accept; then the history.
            const qint32 id = FindRegistration(DM1.IBQuery1, tree).id;
            const QDateTime today = QDateTime::currentDateTimeUtc();
            for (int day = 14; day >= 1; --day) {
                LogEntry nightly = NewLogEntry(LogEntry::Check, id);
                nightly.at = today.addDays(-day).addSecs(-3600);
                nightly.user = QStringLiteral("root");
                nightly.added = day % 4 == 0 ? 2 : 0;
                nightly.changed = day == 9 ? 284 : day % 5 == 0 ? 1 : 0;
                nightly.deleted = day == 9 ? 16 : 0;
                nightly.unexplained = day == 9 ? 3 : nightly.findings();
                nightly.status = nightly.findings() > 0 ? 7 : 0;
                nightly.seal = QStringLiteral("holds");
                WriteLogEntry(DM1.IBQuery1, nightly);
                if (day == 9) {
                    LogEntry accepted = NewLogEntry(LogEntry::AcceptExplained, id);
                    accepted.at = nightly.at.addSecs(1800);
                    for (int i = 0; i < 297; ++i)
                        accepted.names.append(tree + QStringLiteral("/usr/lib/x%1.so").arg(i));
                    WriteLogEntry(DM1.IBQuery1, accepted);
                }
            }
            shootModal(QStringLiteral("history_form"));
            main_form.HistoryItem->trigger();
        }
        {
            // A report of hundreds of findings, most of them explained by
            // package upgrades: as it opens, then filtered, a group ticked
            // and a changed file selected.
            Treport_form& report = windows.report_form;
            report.setAcceptSelected([](const QStringList&) {});
            report.clearLists();
            report.showReport(SampleReport(300), QStringLiteral("/"));
            QTimer::singleShot(400, [&] {
                shoot(QStringLiteral("report_300"), &report);
                report.FilterEdit->setText(QStringLiteral("ssh"));
                for (int row = 0; row < report.Memo4->count(); ++row)
                    if (!report.Memo4->item(row)->isHidden()
                        && report.Memo4->item(row)->text().startsWith(QStringLiteral("пакет "))) {
                        report.Memo4->item(row)->setCheckState(Qt::Checked);
                        if (row + 1 < report.Memo4->count())
                            report.Memo4->setCurrentRow(row + 1);
                        break;
                    }
                settle(100);
                if (report.Memo4->currentItem())
                    report.Memo4->scrollToItem(report.Memo4->currentItem(), QAbstractItemView::PositionAtCenter);
                shoot(QStringLiteral("report_300_filtered"), &report);
                report.UntickAllButton->click();
                report.close();
            });
            report.exec();
            report.setAcceptSelected({});
        }
        if (!bigTree.isEmpty()) {
            QTimer::singleShot(3000, [&] {
                settle(200);
                const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, 250, 150, 700, 450);
                shot.save(outDir + QStringLiteral("/progress.png"));
                std::printf("%s\n", qPrintable(outDir + QStringLiteral("/progress.png")));
            });
            QTimer::singleShot(200, [&] {
                open_dir.DirectoryListBox1->setDirectory(bigTree);
                open_dir.Button1->click();
            });
            main_form.ToolButton1->trigger();
        }
        main_form.close();
    });
    return 0;
}
