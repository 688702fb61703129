#include "shell/window_program.h"

#include "common/program_signals.h"
#include "common/signal_pipe.h"
#include "shell/error_display.h"
#include "shell/program_windows.h"
#include "shell/window_database.h"
#include "storage/bounded_detach.h"
#include "storage/dm1.h"

#include <QApplication>
#include <QSocketNotifier>

#include <optional>

namespace {

// Ends the event loop when a signal arrives: the handler can only write a byte
// to a pipe, which the loop then reads like any other event.
class SignalExit {
public:
    SignalExit() : m_notifier(m_pipe.readEnd(), QSocketNotifier::Read)
    {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, [this] {
            m_pipe.drain();
            // Also leaves the loops of modal windows; a running command has
            // been asked to stop and ends at its next file or row.
            m_exitAsked = true;
            QApplication::exit(0);
        });
        InstallProgramSignals(false);
    }
    // Whether a signal has asked the program to end: one that came while a
    // window of start-up showed its error would not end the main loop, which
    // had not begun yet.
    bool exitAsked() const { return m_exitAsked; }
    SignalExit(const SignalExit&) = delete;
    SignalExit& operator=(const SignalExit&) = delete;

private:
    SignalPipe m_pipe;
    QSocketNotifier m_notifier;
    bool m_exitAsked = false;
};

} // namespace

int RunWindowProgram(QApplication& application, const WindowOptions& options)
{
    int status = 1;
    const QString databaseName = WindowDatabaseName(options.database, options.userDatabase);
    // From here on a signal stops what runs and ends the program in its own
    // time; without the pipe it could not, and the program ends at once.
    std::optional<SignalExit> signalExit;
    if (!RunShowingErrors([&] { signalExit.emplace(); }))
        return status;
    // The user's own database is made the first time, unasked; should that
    // fail, the window says so and opens as on any missing database.
    if (options.userDatabase && databaseName == UserDatabasePath())
        RunShowingErrors([&] { MakeUserDatabase(databaseName); });
    // Creating the storage object can fail (no database client); the error is
    // shown and the program ends before any window opens.
    RunShowingErrors([&] {
        TDM1 DM1;
        TProgramWindows windows(DM1, databaseName);
        windows.main_form.show();
        status = signalExit->exitAsked() ? 0 : application.exec();
        // The exit command leaves the transaction active: commit it, as the
        // program always does when it ends.
        RunShowingErrors([&] { DM1.finish(); });
    });
    EndIfDetachAbandoned(status);
    return status;
}
