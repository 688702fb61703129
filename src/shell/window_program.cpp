#include "shell/window_program.h"

#include "common/program_signals.h"
#include "shell/error_display.h"
#include "shell/program_windows.h"
#include "shell/window_database.h"
#include "storage/bounded_detach.h"
#include "storage/dm1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Ends the event loop when a signal arrives: the handler can only write a byte
// to a socket, which the loop then reads like any other event.
class SignalExit {
public:
    SignalExit()
    {
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0)
            return;
        m_notifier = new QSocketNotifier(m_fds[0], QSocketNotifier::Read);
        QObject::connect(m_notifier, &QSocketNotifier::activated, [this] {
            char bytes[16];
            while (read(m_fds[0], bytes, sizeof bytes) > 0) {
            }
            // Also leaves the loops of modal windows; a running command has
            // been asked to stop and ends at its next file or row.
            m_exitAsked = true;
            QApplication::exit(0);
        });
        InstallProgramSignals(false, m_fds[1]);
    }
    ~SignalExit()
    {
        if (m_notifier) {
            InstallProgramSignals(false);
            delete m_notifier;
            close(m_fds[0]);
            close(m_fds[1]);
        }
    }
    // Whether a signal has asked the program to end: one that came while a
    // window of start-up showed its error would not end the main loop, which
    // had not begun yet.
    bool exitAsked() const { return m_exitAsked; }
    SignalExit(const SignalExit&) = delete;
    SignalExit& operator=(const SignalExit&) = delete;

private:
    int m_fds[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    bool m_exitAsked = false;
};

} // namespace

int RunWindowProgram(QApplication& application)
{
    int status = 1;
    QCommandLineParser parser;
    const QCommandLineOption database(QStringLiteral("database"),
                                      QStringLiteral("База данных: файл или имя на сервере (host:/path/file.gdb)."),
                                      QStringLiteral("NAME"));
    const QCommandLineOption userDatabase(QStringLiteral("user-database"));
    parser.addOptions({database, userDatabase});
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions); // as the command line was read
    if (!parser.parse(application.arguments())) {
        ShowError(parser.errorText());
        return status;
    }
    const QString databaseName = WindowDatabaseName(parser.value(database), parser.isSet(userDatabase));
    SignalExit signalExit;
    // The user's own database is made the first time, unasked; should that
    // fail, the window says so and opens as on any missing database.
    if (parser.isSet(userDatabase) && databaseName == UserDatabasePath())
        RunShowingErrors([&] { MakeUserDatabase(databaseName); });
    // Creating the storage object can fail (no database client); the error is
    // shown and the program ends before any window opens.
    RunShowingErrors([&] {
        TDM1 DM1;
        TProgramWindows windows(DM1, databaseName);
        windows.main_form.show();
        status = signalExit.exitAsked() ? 0 : application.exec();
        // The exit command leaves the transaction active: commit it, as the
        // program always does when it ends.
        RunShowingErrors([&] { DM1.finish(); });
    });
    EndIfDetachAbandoned(status);
    return status;
}
