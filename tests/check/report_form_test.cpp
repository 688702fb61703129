#include "check/explanation_rules.h"
#include "check/report_form.h"
#include "check/report_text.h"
#include "registration/directory_list_box.h"
#include "seal/seal_key.h"
#include "registration/put_under_control.h"
#include "seal/sealed_change.h"
#include "shell/progress_window.h"
#include "support/file_rows.h"
#include "support/program.h"
#include "support/temp_tree.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
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

// Every line of a list as it stands, headers too.
QStringList shownRows(const QListWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows.append(list->item(i)->text());
    return rows;
}

QStringList sorted(QStringList lines)
{
    lines.sort();
    return lines;
}

// Findings the package manager's records explain stand in a group a package
// change, after the unexplained ones, under a header that ticks the group as
// one; the lines are the report's own, and a header is never a name.
TEST(ReportFormGroupsTest, ExplainedFindingsStandUnderTheirPackagesHeaderThatTicksThem)
{
    const auto upgrade = [](const QString& package, const QString& from, const QString& to) {
        Explanation explanation;
        explanation.package = package;
        explanation.architecture = MachineArchitecture();
        explanation.from = from;
        explanation.to = to;
        explanation.rule = QStringLiteral("shipped");
        return explanation;
    };
    const Explanation ssh =
        upgrade(QStringLiteral("openssh-client"), QStringLiteral("1:9.2p1-2"), QStringLiteral("1:9.2p1-2+deb12u3"));
    const Explanation zlib = upgrade(QStringLiteral("zlib1g"), QStringLiteral("1:1.2.13"), QStringLiteral("1:1.3"));
    const QString sshHeader = QStringLiteral("пакет openssh-client 1:9.2p1-2 → 1:9.2p1-2+deb12u3: ");
    const QString zlibHeader = QStringLiteral("пакет zlib1g 1:1.2.13 → 1:1.3: ");
    CheckReport report;
    const auto add = [&](Finding::Kind kind, const QString& file, const std::optional<Explanation>& why,
                         std::initializer_list<bool Finding::*> changed = {}) {
        Finding finding = Finding::of(kind, file);
        for (bool Finding::*what : changed)
            finding.*what = true;
        finding.explanation = why;
        report.add(finding);
    };
    // In the order judged: the groups come in order of their packages' names.
    add(Finding::Changed, QStringLiteral("/usr/lib/libz.so.1.2.13"), zlib, {&Finding::contents});
    add(Finding::New, QStringLiteral("/usr/lib/libz.so.1.3"), zlib);
    add(Finding::Changed, QStringLiteral("/etc/hosts"), std::nullopt, {&Finding::contents});
    add(Finding::Changed, QStringLiteral("/usr/bin/ssh"), ssh, {&Finding::size, &Finding::contents});
    add(Finding::New, QStringLiteral("/usr/share/ssh/1"), ssh);
    add(Finding::New, QStringLiteral("/home/u/notes.txt"), std::nullopt);
    add(Finding::Changed, QStringLiteral("/usr/bin/scp"), ssh, {&Finding::contents});
    for (const char* name : {"/usr/share/ssh/2", "/usr/share/ssh/3", "/usr/share/ssh/4", "/usr/share/ssh/5"})
        add(Finding::New, QString::fromLatin1(name), ssh);
    add(Finding::Changed, QStringLiteral("/etc/passwd"), std::nullopt, {&Finding::attributes});
    add(Finding::Changed, QStringLiteral("/usr/bin/sftp"), ssh, {&Finding::attributes});
    CheckReport unexplained = report;
    for (Finding& finding : unexplained.findings)
        finding.explanation.reset();
    const ReportLists plain = ShownReportLines(unexplained);

    QStringList accepted;
    Treport_form form;
    form.setAcceptSelected([&](const QStringList& names) { accepted = names; });
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

    // Without explanations the window shows the report's lines by name.
    form.showReport(unexplained, QStringLiteral("/"));
    EXPECT_EQ(shownRows(form.Memo3), sorted(plain.added));
    EXPECT_EQ(shownRows(form.Memo4), sorted(plain.changed));

    form.showReport(report, QStringLiteral("/"));
    const QStringList added{QStringLiteral("/home/u/notes.txt"), sshHeader + QStringLiteral("5 файлов"),
                            QStringLiteral("/usr/share/ssh/1"), QStringLiteral("/usr/share/ssh/2"),
                            QStringLiteral("/usr/share/ssh/3"), QStringLiteral("/usr/share/ssh/4"),
                            QStringLiteral("/usr/share/ssh/5"), zlibHeader + QStringLiteral("1 файл"),
                            QStringLiteral("/usr/lib/libz.so.1.3")};
    const QStringList changed{QStringLiteral("/etc/hosts изменено содержание файла,"),
                              QStringLiteral("/etc/passwd изменены атрибуты файла,"),
                              sshHeader + QStringLiteral("3 файла"),
                              QStringLiteral("/usr/bin/scp изменено содержание файла,"),
                              QStringLiteral("/usr/bin/sftp изменены атрибуты файла,"),
                              QStringLiteral("/usr/bin/ssh изменен размер файла,"),
                              QStringLiteral("/usr/bin/ssh изменено содержание файла,"),
                              zlibHeader + QStringLiteral("1 файл"),
                              QStringLiteral("/usr/lib/libz.so.1.2.13 изменено содержание файла,")};
    EXPECT_EQ(shownRows(form.Memo3), added);
    EXPECT_EQ(shownRows(form.Memo4), changed);
    EXPECT_TRUE(form.Memo4->item(2)->font().bold());
    EXPECT_FALSE(form.Memo4->item(3)->font().bold());
    // The lists' text, which the tests and the console read, has no header.
    EXPECT_EQ(sorted(Treport_form::listText(form.Memo3).split(u'\n')), sorted(plain.added));
    EXPECT_EQ(sorted(Treport_form::listText(form.Memo4).split(u'\n')), sorted(plain.changed));
    EXPECT_EQ(Treport_form::listText(form.Memo1), QStringLiteral("Не обнаружено"));

    // What explains the selected finding, or that nothing does, under its
    // name; a header is no finding.
    const struct {
        int row;
        QString name;
        QString text;
    } details[]{
        {0, QStringLiteral("/etc/hosts"), QStringLiteral("не объяснено записями пакетов")},
        {3, QStringLiteral("/usr/bin/scp"),
         QStringLiteral("объяснено: пакет openssh-client 1:9.2p1-2 → 1:9.2p1-2+deb12u3, файл таков, каким его "
                        "поставил пакет, по записям этой машины")},
        {2, QString(), QString()}};
    for (const auto& [row, name, text] : details) {
        form.Memo4->setCurrentRow(row);
        EXPECT_EQ(form.DetailsMemo->toPlainText(), text) << row;
        EXPECT_EQ(form.DetailsMemo->NameLabel->text(), name) << row;
    }
    // Copying a header copies its group's names, a file's once.
    form.Memo4->setFocus();
    for (const int row : {2, 0}) {
        form.Memo4->setCurrentRow(row);
        QTest::keyClick(form.Memo4, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QGuiApplication::clipboard()->text(),
                  row == 2 ? QStringLiteral("/usr/bin/scp\n/usr/bin/sftp\n/usr/bin/ssh") : QStringLiteral("/etc/hosts"));
    }

    // Lines ticked by Space in turn on a list's rows; what each row's tick
    // box then shows ('x' ticked, '~' partly, '.' not), the names
    // "Принять выбранные" then passes, and the headers left after.
    struct Case {
        const char* what;
        QListWidget* Treport_form::*list;
        QList<int> spaced;
        const char* ticks;
        QStringList accepted;
        QStringList headersAfter;
    };
    const QString ssh1 = QStringLiteral("/usr/bin/ssh"), scp = QStringLiteral("/usr/bin/scp"),
                  sftp = QStringLiteral("/usr/bin/sftp");
    const Case cases[] = {
        {"a header ticks its group", &Treport_form::Memo4, {2}, "..xxxxx..", {ssh1, scp, sftp},
         {zlibHeader + QStringLiteral("1 файл")}},
        {"a line unticked leaves its header partly ticked", &Treport_form::Memo4, {2, 3}, "..~.xxx..", {ssh1, sftp},
         {sshHeader + QStringLiteral("1 файл"), zlibHeader + QStringLiteral("1 файл")}},
        {"a changed file's lines tick as one", &Treport_form::Memo4, {6}, "..~..xx..", {ssh1},
         {sshHeader + QStringLiteral("2 файла"), zlibHeader + QStringLiteral("1 файл")}},
        {"a partly ticked header ticks all its group", &Treport_form::Memo4, {3, 2}, "..xxxxx..", {ssh1, scp, sftp},
         {zlibHeader + QStringLiteral("1 файл")}},
        {"a header unticked unticks its group", &Treport_form::Memo4, {2, 2}, ".........", {},
         {sshHeader + QStringLiteral("3 файла"), zlibHeader + QStringLiteral("1 файл")}},
        {"a group's every line ticked ticks its header", &Treport_form::Memo4, {8}, ".......xx",
         {QStringLiteral("/usr/lib/libz.so.1.2.13")}, {sshHeader + QStringLiteral("3 файла")}},
        {"an unexplained line ticks no header", &Treport_form::Memo4, {0}, "x........", {QStringLiteral("/etc/hosts")},
         {sshHeader + QStringLiteral("3 файла"), zlibHeader + QStringLiteral("1 файл")}},
        {"a header of new files", &Treport_form::Memo3, {1}, ".xxxxxx..", added.mid(2, 5),
         {zlibHeader + QStringLiteral("1 файл")}},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        form.showReport(report, QStringLiteral("/"));
        QListWidget* list = form.*each.list;
        list->setFocus();
        for (const int row : each.spaced) {
            list->setCurrentRow(row);
            QTest::keyClick(list, Qt::Key_Space);
        }
        QString ticks;
        for (int i = 0; i < list->count(); ++i)
            ticks += list->item(i)->checkState() == Qt::Checked   ? u'x'
                     : list->item(i)->checkState() == Qt::Unchecked ? u'.'
                                                                    : u'~';
        EXPECT_EQ(ticks, QString::fromLatin1(each.ticks));
        accepted.clear();
        form.Button3->click();
        EXPECT_EQ(accepted, each.accepted);
        QStringList headers = shownRows(list);
        for (const QString& line : Treport_form::listText(list).split(u'\n'))
            headers.removeOne(line);
        EXPECT_EQ(headers, each.headersAfter);
    }
}

// The finding lines a list shows, and the rows of its headers shown.
QStringList shownLines(const QListWidget* list, bool headers = false)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* item = list->item(i);
        const bool header = !item->data(Qt::UserRole).isValid() && (item->flags() & Qt::ItemIsUserCheckable);
        if (!item->isHidden() && header == headers && (header || item->data(Qt::UserRole).isValid()))
            rows.append(item->text());
    }
    return rows;
}

// Runs act once the modal question opens, noting its name and text, and
// answers it.
void answerWhenAsked(QMessageBox::StandardButton button, QString* asked)
{
    whenModalOpens([=](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        *asked = box->objectName() + u':' + box->text();
        box->button(button)->click();
    });
}

// Hundreds of findings, in the order walked, a few packages explaining some:
// each list counted, by name within its groups, narrowed by the filter,
// ticked as shown, accepted as ticked, copied by name; closing with ticks
// asks first.
TEST(ReportFormManyTest, HundredsOfFindingsAreCountedSortedFilteredTickedAndCopied)
{
    const auto package = [](const char* name) {
        Explanation explanation;
        explanation.package = QString::fromLatin1(name);
        explanation.architecture = MachineArchitecture();
        explanation.from = QStringLiteral("1.0");
        explanation.to = QStringLiteral("2.0");
        explanation.rule = QStringLiteral("shipped");
        return explanation;
    };
    const Explanation packages[] = {package("gamma"), package("alpha"), package("beta")};
    CheckReport report;
    QStringList docs; // the names of the findings under Docs
    for (int n = 0; n < 300; ++n) {
        const int i = n * 7 % 300; // not in order of name
        const char* dirs[] = {"Docs", "lib", "bin"};
        const QString name = QStringLiteral("/srv/%1/f%2.txt").arg(QString::fromLatin1(dirs[i % 3])).arg(i, 3, 10, QChar(u'0'));
        Finding finding = Finding::of(Finding::Kind(i % 4), name);
        if (finding.kind == Finding::Moved)
            finding.from = QStringLiteral("/old") + name;
        if (finding.kind == Finding::Changed) {
            finding.size = finding.contents = true;
            Fingerprint before, after;
            before.mode = 0100644;
            after.mode = 0100755;
            finding.setStates(1, before, 2, after);
        }
        if (i % 5 < 3 && i % 7 != 0)
            finding.explanation = packages[i % 5];
        if (i % 3 == 0)
            docs.append(name);
        report.add(finding);
    }
    const ReportLists plain = ShownReportLines(report);
    const QStringList all[] = {plain.deleted, plain.moved, plain.added, plain.changed};

    QStringList accepted;
    Treport_form form;
    form.setAcceptSelected([&](const QStringList& names) { accepted = names; });
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.showReport(report, QStringLiteral("/srv"));
    const QList<QListWidget*> lists{form.Memo1, form.Memo2, form.Memo3, form.Memo4};
    const QList<QLabel*> counts{form.Count1, form.Count2, form.Count3, form.Count4};
    const QStringList header{QStringLiteral("пакет alpha 1.0 → 2.0: "), QStringLiteral("пакет beta 1.0 → 2.0: "),
                             QStringLiteral("пакет gamma 1.0 → 2.0: ")};
    for (int l = 0; l < 4; ++l) {
        SCOPED_TRACE(l);
        EXPECT_EQ(counts[l]->text(), QStringLiteral("(75)"));
        EXPECT_EQ(sorted(Treport_form::listText(lists[l]).split(u'\n')), sorted(all[l]));
        // The unexplained lines, then the groups by package, each by name.
        QList<QStringList> groups{{}};
        QStringList headers;
        for (int i = 0; i < lists[l]->count(); ++i) {
            const QString text = lists[l]->item(i)->text();
            if (lists[l]->item(i)->data(Qt::UserRole).isValid()) {
                groups.last().append(text);
            } else {
                headers.append(text.left(text.lastIndexOf(u':') + 2));
                groups.append(QStringList());
            }
        }
        EXPECT_EQ(headers, header);
        for (const QStringList& group : groups)
            EXPECT_EQ(group, sorted(group));
    }

    // The filter narrows the four lists, in any case; the ticks go to what it
    // shows, a header's too, and are accepted as ticked.
    QTest::keyClicks(form.FilterEdit, QStringLiteral("DOC"));
    for (int l = 0; l < 4; ++l) {
        SCOPED_TRACE(l);
        QStringList expected;
        for (const QString& line : all[l])
            if (line.contains(QStringLiteral("/Docs/")))
                expected.append(line);
        EXPECT_EQ(sorted(shownLines(lists[l])), sorted(expected));
        EXPECT_EQ(counts[l]->text(), QStringLiteral("(25 из 75)"));
        EXPECT_EQ(shownLines(lists[l], true).size(), 3);
    }
    QListWidget& changed = *form.Memo4;
    const int firstHeader = changed.row(changed.findItems(header[0], Qt::MatchStartsWith).first());
    changed.setFocus();
    changed.setCurrentRow(firstHeader);
    QTest::keyClick(&changed, Qt::Key_Space);
    int tickedInGroup = 0, hiddenTicked = 0;
    for (int i = firstHeader + 1; i < changed.count() && changed.item(i)->data(Qt::UserRole).isValid(); ++i) {
        tickedInGroup += changed.item(i)->checkState() == Qt::Checked;
        hiddenTicked += changed.item(i)->isHidden() && changed.item(i)->checkState() == Qt::Checked;
    }
    EXPECT_GT(tickedInGroup, 0);
    EXPECT_EQ(hiddenTicked, 0);
    form.UntickAllButton->click();
    EXPECT_EQ(form.TickedLabel->text(), QString());
    form.TickAllButton->click();
    EXPECT_EQ(form.TickedLabel->text(), QStringLiteral("Отмечено файлов: 100"));
    EXPECT_EQ(changed.item(firstHeader)->checkState(), Qt::Checked);

    // Closing with ticks asks: no keeps the window and its ticks.
    QString asked;
    answerWhenAsked(QMessageBox::No, &asked);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_EQ(asked, QStringLiteral("PendingTicksQuestion:Отмечено файлов: 100. Закрыть отчет, не приняв их?"));
    EXPECT_TRUE(form.isVisible());

    form.Button3->click();
    EXPECT_EQ(sorted(accepted), sorted(docs));
    EXPECT_EQ(form.FilterEdit->text(), QStringLiteral("DOC"));
    EXPECT_EQ(form.Count2->text(), QStringLiteral("(0 из 50)"));
    form.FilterEdit->clear();
    EXPECT_EQ(form.Count2->text(), QStringLiteral("(50)"));

    // One current finding: selecting in a list clears the others; what it
    // was and is, in Russian.
    form.Memo4->setCurrentRow(1);
    form.Memo2->setCurrentRow(0);
    form.Memo2->item(2)->setSelected(true);
    EXPECT_TRUE(form.Memo4->selectedItems().isEmpty());
    EXPECT_EQ(form.Memo4->currentItem(), nullptr);
    const QString moved = form.Memo2->item(0)->text();
    EXPECT_EQ(form.DetailsMemo->NameLabel->text(), moved);
    // Copying takes the selected names, a moved file's as it is now.
    const QString movedTo = moved.mid(moved.indexOf(QStringLiteral(" в /")) + 3);
    QAction* copy = form.Memo2->actions().first();
    EXPECT_EQ(copy->text(), QStringLiteral("Копировать путь"));
    copy->trigger();
    const QStringList copied = QGuiApplication::clipboard()->text().split(u'\n');
    ASSERT_EQ(copied.size(), 2);
    EXPECT_EQ(copied[0], movedTo);
    form.Memo4->setFocus();
    form.Memo4->setCurrentRow(0);
    EXPECT_TRUE(form.Memo2->selectedItems().isEmpty());
    const QString details = form.DetailsMemo->toPlainText();
    EXPECT_TRUE(details.startsWith(QStringLiteral("не объяснено записями пакетов\n* размер: 1 → 2\n  тип: обычный файл\n"
                                                  "* права: 0644 → 0755\n")))
        << details.toStdString();
    QTest::keyClick(form.Memo4, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), form.Memo4->item(0)->text().section(u' ', 0, 0));

    // Without ticks, Escape closes as it always did.
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
}

} // namespace
