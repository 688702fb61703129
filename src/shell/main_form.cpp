#include "shell/main_form.h"

#include "check/check_report.h"
#include "check/check_log.h"
#include "check/check_run.h"
#include "check/log_text.h"
#include "check/explain_findings.h"
#include "check/report_form.h"
#include "check/report_text.h"
#include "seal/seal_verdict.h"
#include "common/exception.h"
#include "common/shown_name.h"
#include "common/status_count.h"
#include "packages/host_packages.h"
#include "packages/package_root.h"
#include "registration/accept_files.h"
#include "registration/existing_directory.h"
#include "registration/extension_list.h"
#include "registration/open_dir.h"
#include "registration/put_under_control.h"
#include "registration/remove_from_control.h"
#include "seal/sealed_change.h"
#include "registration/update_control.h"
#include "rows/registration.h"
#include "shell/about_form.h"
#include "shell/error_display.h"
#include "shell/history_form.h"
#include "shell/image_list.h"
#include "shell/progress_window.h"
#include "shell/window_geometry.h"
#include "storage/command_savepoint.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "watch/finding_lines.h"
#include "watch/registration_watch.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>

#include <utility>

namespace {
// Where a line of the directory list keeps the tab id of its registration,
// and its directory.
constexpr int kRegistrationRole = Qt::UserRole + 1;
constexpr int kDirectoryRole = Qt::UserRole + 2;
// How soon changes that came while a command ran are judged again.
constexpr int kDeferredMs = 1000;
} // namespace

Tmain_form::Tmain_form(TDM1& dm, QWidget* parent, QString databaseName)
    : QMainWindow(parent), DM1(dm), m_databaseName(std::move(databaseName))
{
    setObjectName(QStringLiteral("main_form"));
    setWindowTitle(QStringLiteral("Кварен"));
    setGeometry(331, 246, 366, 246);
    RememberGeometry(*this, QStringLiteral("main"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setSortingEnabled(false);
    ListBox1->setUniformItemSizes(true);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this,
            [this] { RunShowingErrors([this] { HistoryItemClick(); }); });
    setCentralWidget(ListBox1);

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setFixedHeight(19);
    m_statusPanel = new QLabel(this);
    m_statusPanel->setObjectName(QStringLiteral("StatusPanel"));
    m_statusPanel->setTextFormat(Qt::PlainText);
    m_statusPanel->setMinimumWidth(50);
    statusBar()->addWidget(m_statusPanel, 1);

    buildMenu();
    buildToolBar();

    RunShowingErrors([this] { FormCreate(); });
}

void Tmain_form::bind(QAction* action, void (Tmain_form::*handler)())
{
    connect(action, &QAction::triggered, this, [this, handler] { RunShowingErrors([this, handler] { (this->*handler)(); }); });
}

void Tmain_form::buildMenu()
{
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [this](const char* name, const QString& caption) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    QMenu* directory = MainMenu1->addMenu(QStringLiteral("&Директория"));
    N1 = directory->menuAction();
    N1->setObjectName(QStringLiteral("N1"));
    N2 = item("N2", QStringLiteral("&Поставить на учет"));
    N3 = item("N3", QStringLiteral("&Снять с учета"));
    N7 = item("N7", QStringLiteral("&Выход"));
    HistoryItem = item("HistoryItem", QStringLiteral("&История проверок"));
    directory->addAction(N2);
    directory->addAction(N3);
    directory->addAction(HistoryItem);
    directory->addSeparator()->setObjectName(QStringLiteral("N4"));
    directory->addAction(N7);

    N5 = item("N5", QStringLiteral("&Проверка целостности"));
    MainMenu1->addAction(N5);

    QMenu* help = MainMenu1->addMenu(QStringLiteral("&Справка"));
    N6 = help->menuAction();
    N6->setObjectName(QStringLiteral("N6"));
    N8 = item("N8", QStringLiteral("&Вызов справки"));
    N9 = item("N9", QStringLiteral("&О программе"));
    help->addAction(N8);
    help->addAction(N9);

    bind(N2, &Tmain_form::N2Click);
    bind(N3, &Tmain_form::N3Click);
    bind(N7, &Tmain_form::ToolButton8Click);
    bind(N5, &Tmain_form::ToolButton4Click);
    bind(N8, &Tmain_form::ToolButton6Click);
    bind(N9, &Tmain_form::N9Click);
    bind(HistoryItem, &Tmain_form::HistoryItemClick);
}

void Tmain_form::buildToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setFixedHeight(29);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    const QList<QIcon> ImageList1 = ::ImageList1();
    auto button = [&](const char* name, const QString& hint, int picture, void (Tmain_form::*handler)()) {
        QAction* action = ToolBar1->addAction(ImageList1.at(picture), hint);
        action->setObjectName(QString::fromLatin1(name));
        action->setToolTip(hint); // a tooltip only: the status line keeps its count
        ToolBar1->widgetForAction(action)->setObjectName(QString::fromLatin1(name));
        bind(action, handler);
        return action;
    };
    auto separator = [&](const char* name) {
        QAction* action = ToolBar1->addSeparator();
        action->setObjectName(QString::fromLatin1(name));
        ToolBar1->widgetForAction(action)->setFixedWidth(8);
    };
    ToolButton1 = button("ToolButton1", QStringLiteral("Поставить на учет"), 0, &Tmain_form::N2Click);
    ToolButton2 = button("ToolButton2", QStringLiteral("Снять с учета"), 1, &Tmain_form::N3Click);
    separator("ToolButton3");
    ToolButton4 = button("ToolButton4", QStringLiteral("Проверить целостность"), 2, &Tmain_form::ToolButton4Click);
    separator("ToolButton5");
    ToolButton6 = button("ToolButton6", QStringLiteral("Помощь"), 3, &Tmain_form::ToolButton6Click);
    separator("ToolButton7");
    ToolButton8 = button("ToolButton8", QStringLiteral("Выход"), 4, &Tmain_form::ToolButton8Click);
}

void Tmain_form::setWindows(Topen_dir* openDir, Treport_form* reportForm, Tabout_form* aboutForm)
{
    open_dir = openDir;
    report_form = reportForm;
    about_form = aboutForm;
}

void Tmain_form::FormCreate()
{
    m_connectNotice = ConnectDM1(DM1, m_databaseName);
    for (const LogEntry& entry : ReadLog(DM1.IBQuery1)) {
        if (entry.kind == LogEntry::Check) {
            m_lastChecks.insert(entry.registration, entry);
            m_acceptedSince.remove(entry.registration);
        } else if (m_lastChecks.contains(entry.registration)) {
            m_acceptedSince.insert(entry.registration);
        }
    }
    for (const Registration& registration : ReadRegistrations(DM1.IBQuery1)) {
        addDirectoryLine(registration.dir, registration.list, registration.id);
        markLine(registration.id);
    }
}

void Tmain_form::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        RunShowingErrors([this] { FormShow(); });
}

void Tmain_form::FormShow()
{
    UpdateStatusCount();
    startWatching();
    if (m_connectNotice.isEmpty())
        return;
    QMessageBox box(QMessageBox::Warning, ApplicationTitle(), std::exchange(m_connectNotice, QString()),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("ConnectNotice"));
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void Tmain_form::closeEvent(QCloseEvent* event)
{
    if (m_busy) {
        event->ignore(); // a command is still writing: it ends first
        return;
    }
    if (RunShowingErrors([this] { FormClose(); }))
        event->accept();
    else
        event->ignore(); // the commit failed: keep the window, and the changes, open
}

void Tmain_form::FormClose()
{
    if (DM1.IBTransaction1.active())
        DM1.IBTransaction1.commit();
}

void Tmain_form::UpdateStatusCount()
{
    m_statusPanel->setText(QString());
    m_statusPanel->setText(StatusCountText(CountFilesUnderControl(DM1.IBQuery1)));
}

QString Tmain_form::statusText() const
{
    return m_statusPanel->text();
}

void Tmain_form::ToolButton6Click()
{
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), QStringLiteral("Справку можно написать и самому!!!"),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("HelpBox"));
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void Tmain_form::ToolButton8Click()
{
    if (m_busy)
        return;
    // Ends the program at once, without the close event; the transaction,
    // still active, is committed on the way out.
    QApplication::exit(0);
}

void Tmain_form::N9Click()
{
    if (about_form)
        about_form->exec();
}

bool Tmain_form::busy() const
{
    return m_busy;
}

void Tmain_form::runLong(const QString& command, CommandAccess access,
                         const std::function<QSet<qint32>(Progress&)>& body,
                         const std::function<void()>& undoShown,
                         const std::function<QSet<qint32>()>& willWrite, ChangeReach reach)
{
    // Progress lets events through while the command runs; none of them may
    // start another command or end the program meanwhile.
    ProgressWindow progress(this, command);
    struct Running {
        Tmain_form& form;
        Running(Tmain_form& f, ProgressWindow* p) : form(f) { form.m_busy = true; form.m_progress = p; }
        ~Running() { form.m_busy = false; form.m_progress = nullptr; }
    } running(*this, &progress);
    CommandStop::Running stoppable;
    if (access == CommandAccess::Reads)
        DM1.IBTransaction1.seeCommitted();
    try {
        UndoIfFailed(DM1, [&] {
            if (access == CommandAccess::Writes)
                RunChange(
                    DM1, [this] { return sealKey(); },
                    [&] { return willWrite ? willWrite() : QSet<qint32>(); }, [&] { return body(progress); }, reach);
            else
                body(progress);
        }, access);
        // A change is kept the moment it ends, as the console keeps it: a
        // window killed the next moment loses nothing, and the write lock
        // goes with the commit, so other programs may write while it idles.
        if (access == CommandAccess::Writes) {
            DM1.IBTransaction1.commit();
            DM1.IBTransaction1.startTransaction();
        }
    } catch (...) {
        if (undoShown)
            undoShown();
        throw;
    }
}

SealKey Tmain_form::sealKey()
{
    if (m_sealKey)
        return *m_sealKey;
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Закрытый ключ печати базы данных"));
    if (file.isEmpty())
        throw Exception(QStringLiteral("База данных запечатана: изменять ее можно только с закрытым ключом"));
    // The file is judged before its passphrase is asked.
    m_sealKey = SealKey::readPrivate(file, [&] {
        bool given = false;
        const QString passphrase = QInputDialog::getText(this, ApplicationTitle(),
                                                         QStringLiteral("Пароль закрытого ключа"), QLineEdit::Password,
                                                         QString(), &given);
        if (!given)
            throw Exception(QStringLiteral("База данных запечатана: изменять ее можно только с закрытым ключом"));
        return passphrase.toUtf8();
    });
    return *m_sealKey;
}

void Tmain_form::N2Click()
{
    if (m_busy)
        return;
    open_dir->Memo1->clear();
    open_dir->setDrive(QStringLiteral("/"));
    if (open_dir->exec() != QDialog::Accepted)
        return;
    const QString dir = open_dir->directory();
    RequireExistingDirectory(dir); // it may have gone since the dialog showed it
    const QString list = BuildExtensionList(open_dir->checkedTypes(), open_dir->memoLines());
    // Before the line shows: a database another program is changing leaves
    // the window as it was.
    DM1.IBTransaction1.beginWriting();
    QListWidgetItem* line = addDirectoryLine(dir, list, 0);
    RecordedChange recorded;
    runLong(
        QStringLiteral("Поставить на учет"), CommandAccess::Writes,
        [&](Progress& progress) {
            recorded = PutUnderControl(DM1, dir, list, &progress);
            return recorded.registrations;
        },
        [this] { delete ListBox1->takeItem(ListBox1->count() - 1); });
    const qint32 id = *recorded.registrations.constBegin();
    line->setData(kRegistrationRole, id);
    if (m_watch)
        m_watch->watch({id, dir, list});
    UpdateStatusCount();
    showNotExamined(recorded.notExamined);
}

void Tmain_form::showNotExamined(const NotExaminedList& names)
{
    if (names.isEmpty())
        return;
    QMessageBox box(QMessageBox::Warning, ApplicationTitle(),
                    NotExaminedCaption() + QStringLiteral(": ") + QString::number(names.size()), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("NotExaminedBox"));
    box.setTextFormat(Qt::PlainText);
    box.setDetailedText(NotExaminedLines(names).join(u'\n'));
    box.exec();
}

QListWidgetItem* Tmain_form::addDirectoryLine(const QString& dir, const QString& types, qint32 id)
{
    auto* line = new QListWidgetItem(ShownName(dir), ListBox1);
    line->setToolTip(QStringLiteral("Типы файлов: ") + types);
    line->setData(kRegistrationRole, id);
    line->setData(kDirectoryRole, dir);
    return line;
}

QString Tmain_form::directoryOf(int row) const
{
    // A line added as plain text is its directory.
    const QListWidgetItem* line = ListBox1->item(row);
    const QVariant dir = line->data(kDirectoryRole);
    return dir.isValid() ? dir.toString() : line->text();
}

void Tmain_form::startWatching()
{
    if (m_watch || !DM1.IBDatabase1.connected())
        return;
    m_watch = new RegistrationWatch(m_watchQuiet, this);
    connect(m_watch, &RegistrationWatch::settled, this,
            [this](const Registration& registration, const QList<JudgedName>& names) {
                RunShowingErrors([&] { judgeChanged(registration, names); });
            });
    connect(m_watch, &RegistrationWatch::lost, this, [this](const Registration& registration, const QString& reason) {
        m_lost.insert(registration.id, reason);
        markLine(registration.id);
    });
    for (const Registration& registration : ReadRegistrations(DM1.IBQuery1))
        m_watch->watch(registration);
}

void Tmain_form::judgeChanged(const Registration& registration, const QList<JudgedName>& names)
{
    // The queries are the running command's: judged once it has ended.
    if (m_busy) {
        QList<JudgedName>& waiting = m_deferred[registration.id];
        if (waiting.isEmpty())
            QTimer::singleShot(kDeferredMs, this, [this, registration] {
                RunShowingErrors([&] { judgeChanged(registration, m_deferred.take(registration.id)); });
            });
        waiting += names;
        return;
    }
    DM1.IBTransaction1.seeCommitted();
    m_changed[registration.id].judged(names, FindingTextLines(JudgeNames(DM1, registration, names)));
    markLine(registration.id);
}

void Tmain_form::markLine(qint32 registration)
{
    for (int row = 0; row < ListBox1->count(); ++row) {
        QListWidgetItem* line = ListBox1->item(row);
        if (line->data(kRegistrationRole).toInt() != registration)
            continue;
        const qsizetype changed = m_changed.value(registration).names();
        const QString lost = m_lost.value(registration);
        QString text = ShownName(directoryOf(row));
        if (const auto last = m_lastChecks.constFind(registration); last != m_lastChecks.constEnd())
            text += QStringLiteral("  — проверено ") + LastCheckText(*last)
                    + (m_acceptedSince.contains(registration) ? QStringLiteral(", после нее приняты изменения")
                                                              : QString());
        if (changed > 0)
            text += QStringLiteral("  — изменено имен: ") + QString::number(changed);
        if (!lost.isEmpty())
            text += QStringLiteral("  — изменения могли пройти незамеченными, нужна проверка");
        line->setText(text);
        QFont font = line->font();
        font.setBold(changed > 0 || !lost.isEmpty());
        line->setFont(font);
        line->setStatusTip(lost);
    }
}

void Tmain_form::clearMark(qint32 registration)
{
    m_changed.remove(registration);
    m_lost.remove(registration);
    markLine(registration);
}

std::optional<qint32> Tmain_form::registrationOf(int row) const
{
    const qint32 id = ListBox1->item(row)->data(kRegistrationRole).toInt();
    return id > 0 ? std::optional<qint32>(id) : std::nullopt;
}

int Tmain_form::selectedRow() const
{
    for (int row = 0; row < ListBox1->count(); ++row)
        if (ListBox1->item(row)->isSelected())
            return row;
    return -1;
}

void Tmain_form::N3Click()
{
    if (m_busy)
        return;
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString dir = directoryOf(row);
    const std::optional<qint32> removed = registrationOf(row);
    runLong(QStringLiteral("Снять с учета"), CommandAccess::Writes, [&](Progress& progress) {
        RemoveFromControl(DM1, dir, &progress, registrationOf(row));
        return QSet<qint32>();
    });
    delete ListBox1->takeItem(row);
    if (m_watch && removed)
        m_watch->forget(*removed);
    // The list would select the next line; a second press would then take
    // that directory out of control unasked.
    ListBox1->setCurrentItem(nullptr);
    ListBox1->clearSelection();
    UpdateStatusCount();
}

void Tmain_form::ToolButton4Click()
{
    if (m_busy)
        return;
    report_form->clearLists();
    const int row = selectedRow();
    if (row < 0)
        return;
    CheckReport report;
    const QString dir = directoryOf(row);
    const std::optional<qint32> registration = registrationOf(row);
    runLong(QStringLiteral("Проверить целостность"), CommandAccess::Reads,
            [&](Progress& progress) {
                const std::optional<SealKey> key = ConfiguredPublicKey(QString(), DM1.IBQuery1);
                report = RunCheck(DM1, dir, &progress, registration, key ? &*key : nullptr);
                // The report groups what the package manager's changes explain.
                HostPackages host(PackageRoot());
                ExplainFindings(report, DM1.IBQuery1, host);
                return QSet<qint32>();
            });
    // The report is shown even where its log entry could not be written.
    const LogEntry checked = CheckLogEntry(FindRegistration(DM1.IBQuery1, dir, registration).id, report, true);
    RunShowingErrors([&] { LogCheck(DM1, checked); });
    m_lastChecks.insert(checked.registration, checked);
    m_acceptedSince.remove(checked.registration);
    clearMark(checked.registration);
    report_form->setAcceptSelected([&](const QStringList& names) {
        runLong(
            QStringLiteral("Принять выбранные"), CommandAccess::Writes,
            [&](Progress&) { return AcceptFiles(DM1, dir, names, registration).registrations; }, {},
            [&] { return QSet<qint32>{FindRegistration(DM1.IBQuery1, dir, registration).id}; },
            ChangeReach::NamedFiles);
        m_acceptedSince.insert(checked.registration);
        markLine(checked.registration);
        UpdateStatusCount();
    });
    report_form->showReport(report, dir);
    const int answer = report_form->exec();
    report_form->setAcceptSelected({});
    if (answer != QDialog::Accepted)
        return;
    RecordedChange recorded;
    runLong(
        QStringLiteral("Принять изменения"), CommandAccess::Writes,
        [&](Progress& progress) {
            recorded = UpdateControl(DM1, dir, &progress, registration);
            return recorded.registrations;
        },
        {},
        [&] {
            QSet<qint32> ids;
            for (const Registration& updated : UpdatedRegistrations(DM1.IBQuery1, dir, registration))
                ids.insert(updated.id);
            return ids;
        });
    for (const qint32 updated : recorded.registrations) {
        m_acceptedSince.insert(updated);
        markLine(updated);
    }
    UpdateStatusCount();
    showNotExamined(recorded.notExamined);
}

void Tmain_form::HistoryItemClick()
{
    if (m_busy)
        return;
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString dir = directoryOf(row);
    // What the console logged meanwhile too.
    DM1.IBTransaction1.seeCommitted();
    if (!history_form)
        history_form = new Thistory_form(this);
    history_form->showHistory(dir, ReadLog(DM1.IBQuery1, FindRegistration(DM1.IBQuery1, dir, registrationOf(row)).id));
    history_form->exec();
}
