#pragma once

#include "seal/seal_key.h"
#include "seal/sealed_change.h"

#include "check/judge_names.h"
#include "rows/event_log.h"
#include "scan/not_examined.h"
#include "storage/command_savepoint.h"
#include "storage/dm1.h"
#include "watch/reported_findings.h"

#include <QHash>
#include <QMainWindow>
#include <chrono>
#include <functional>
#include <optional>

class QListWidgetItem;

class QAction;
class QLabel;
class QListWidget;
class QToolBar;
class Tabout_form;
class Topen_dir;
class Treport_form;
class Thistory_form;
class Progress;
class ProgressWindow;
class RegistrationWatch;
struct Registration;

// The main window: the list of directories under control, the menu, the tool
// bar and the status line with the number of files under control. Its
// handlers are the program's commands; each runs to its end on the one thread
// and shows its error, if any, through the application's error display.
// Each line also says when its directory was last checked and what that
// check found (from the log, or this window's own check where the account
// may not write the log); its history opens from the menu or by a double
// click. While it is open it watches its registrations' trees (RegistrationWatch)
// and marks the line of each whose tree changed since its last check, with
// the number of names a check would now report of what changed, or that
// changes may have gone unseen.
class Tmain_form : public QMainWindow {
    Q_OBJECT
public:
    // Runs FormCreate: connects DM1 to the database (file.gdb in the working
    // directory unless named), starts the transaction and fills the list. An
    // error there is shown and the window still opens; a database that is used
    // as it is (see UpgradeSchema) is said so once, when the window shows.
    explicit Tmain_form(TDM1& dm, QWidget* parent = nullptr, QString databaseName = kDatabaseFileName);

    // The windows created after this one at start-up.
    void setWindows(Topen_dir* openDir, Treport_form* reportForm, Tabout_form* aboutForm);

    void UpdateStatusCount();
    QString statusText() const;

    // Whether a long command is running; commands and closing wait for it.
    bool busy() const;
    // The progress window of the running command, if any (for tests).
    ProgressWindow* progress() const { return m_progress; }
    // The directory a line of the list stands for (its text may carry a
    // mark of changes).
    QString directoryOf(int row) const;
    // How long a changed name is to be quiet before it is judged; for tests,
    // before the window shows.
    void setWatchQuiet(std::chrono::milliseconds quiet) { m_watchQuiet = quiet; }

    QListWidget* ListBox1;
    QToolBar* ToolBar1;
    QAction* ToolButton1;
    QAction* ToolButton2;
    QAction* ToolButton4;
    QAction* ToolButton6;
    QAction* ToolButton8;
    QAction* N1;
    QAction* N2;
    QAction* N3;
    QAction* N5;
    QAction* N6;
    QAction* N7;
    QAction* N8;
    QAction* N9;
    QAction* HistoryItem; // the selected directory's history of checks

public slots:
    void N2Click();
    void N3Click();
    void ToolButton4Click();
    void ToolButton6Click();
    void ToolButton8Click();
    void N9Click();
    void HistoryItemClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void buildMenu();
    void buildToolBar();
    // Connects a menu item or button to a handler run through the error display.
    void bind(QAction* action, void (Tmain_form::*handler)());
    // Runs a long command with a progress window, as the one command running.
    // A stopped or failed command is undone: its rows by the savepoint it runs
    // in, what the window shows of it by undoShown. A command that writes takes
    // the database's write lock first (another program may have the database
    // open); one that reads first sees what other programs have committed.
    // body returns the registrations whose rows it wrote, which a sealed
    // database signs again; willWrite gives, before anything changes, those
    // of them that were there before, whose seal is verified first.
    void runLong(const QString& command, CommandAccess access, const std::function<QSet<qint32>(Progress&)>& body,
                 const std::function<void()>& undoShown = {},
                 const std::function<QSet<qint32>()>& willWrite = {},
                 ChangeReach reach = ChangeReach::Registrations);
    int selectedRow() const;
    // Names what a walk could not examine, in a warning box.
    void showNotExamined(const NotExaminedList& names);
    // Adds a line for dir at the end of the list, its file types as its tooltip.
    QListWidgetItem* addDirectoryLine(const QString& dir, const QString& types, qint32 id);
    // The tab id of the registration the line stands for.
    std::optional<qint32> registrationOf(int row) const;
    // The private key a change of a sealed database seals it again with:
    // its file and passphrase are asked once a session.
    SealKey sealKey();
    // Starts watching the registrations listed, when the window first shows.
    void startWatching();
    // Judges what changed in a registration's tree, and marks its line.
    void judgeChanged(const Registration& registration, const QList<JudgedName>& names);
    // Shows on the registration's line what changed since its last check.
    void markLine(qint32 registration);
    // Forgets the changes of a registration, as its check has seen them.
    void clearMark(qint32 registration);

    TDM1& DM1;
    const QString m_databaseName;
    QString m_connectNotice; // shown once, when the window first shows
    Topen_dir* open_dir = nullptr;
    Treport_form* report_form = nullptr;
    Tabout_form* about_form = nullptr;
    QLabel* m_statusPanel;
    bool m_busy = false;
    ProgressWindow* m_progress = nullptr;
    std::optional<SealKey> m_sealKey;
    std::chrono::milliseconds m_watchQuiet{2000};
    RegistrationWatch* m_watch = nullptr;
    QHash<qint32, ReportedFindings> m_changed; // since each registration's last check
    QHash<qint32, QString> m_lost;             // why changes may have gone unseen
    QHash<qint32, QList<JudgedName>> m_deferred; // changed while a command ran
    QHash<qint32, LogEntry> m_lastChecks;        // of each registration
    QSet<qint32> m_acceptedSince;                // changes accepted since the last check
    Thistory_form* history_form = nullptr; // made when first asked for
};
