#include "cli/watch_command.h"

#include "check/check_run.h"
#include "check/judge_names.h"
#include "check/report_text.h"
#include "cli/console.h"
#include "common/command_stop.h"
#include "common/exception.h"
#include "common/signal_pipe.h"
#include "common/progress.h"
#include "common/shown_name.h"
#include "registration/directory_text.h"
#include "rows/registration.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "watch/finding_lines.h"
#include "watch/registration_watch.h"
#include "watch/reported_findings.h"
#include "check/explain_findings.h"
#include "packages/host_packages.h"
#include "packages/package_root.h"
#include "rows/package_records.h"

#include <QEventLoop>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

#include <exception>
#include <functional>
#include <malloc.h>

namespace {

class WatchSession {
public:
    WatchSession(QString databaseName, bool json, bool unexplainedOnly, Console& console)
        : m_databaseName(std::move(databaseName)), m_json(json), m_unexplainedOnly(unexplainedOnly), m_console(console)
    {
    }

    // Checks the registration in full, reporting what was not reported yet.
    void checkAll(const Registration& registration)
    {
        const CheckReport report = attached([&](TDM1& dm) { return RunCheck(dm, registration.dir, &m_stop, registration.id); },
                                            registration.id);
        print(registration, m_reported[registration.id].checked(lines(registration, report)));
        printNotExamined(report);
    }

    void judge(const Registration& registration, const QList<JudgedName>& names)
    {
        const CheckReport report = attached([&](TDM1& dm) { return JudgeNames(dm, registration, names, &m_stop); },
                                            registration.id);
        print(registration, m_reported[registration.id].judged(names, lines(registration, report)));
        printNotExamined(report);
    }

    // Says why changes may have gone unseen, before the check that follows.
    void lost(const Registration& registration, const QString& reason)
    {
        m_console.out.flush();
        m_console.err << QStringLiteral("Изменения могли пройти незамеченными: ") << reason
                      << QStringLiteral("; директория проверяется полностью: ") << ShownName(registration.dir) << '\n';
        m_console.err.flush();
        if (m_json) {
            m_console.out << QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("directory"), JsonName(registration.dir)},
                                                                         {QStringLiteral("lost"), reason}})
                                                   .toJson(QJsonDocument::Compact))
                          << '\n';
            m_console.out.flush();
        }
    }

    void watching(const Registration& registration)
    {
        m_console.err << QStringLiteral("Отслеживается: ") << ShownName(registration.dir) << '\n';
        m_console.err.flush();
    }

    // Says what a judgement raised, and goes on; a stop, and what is no
    // Exception, end the watch.
    void failed(const Registration& registration, std::exception_ptr error)
    {
        try {
            std::rethrow_exception(error);
        } catch (const ECommandStopped&) {
            throw;
        } catch (const Exception& failure) {
            m_console.out.flush();
            m_console.err << ShownName(registration.dir) << QStringLiteral(": ") << failure.message() << '\n';
            m_console.err.flush();
        }
    }

private:
    // Runs body on an attachment of its own, which sees what other programs
    // have committed (an update among them), and goes with the engine's
    // caches of what it read once body is done: a watch holds little between
    // changes.
    // With --unexplained, what the package manager's changes explain is left
    // out (see ExplainFindings).
    CheckReport attached(const std::function<CheckReport(TDM1&)>& body, qint32 registration)
    {
        CheckReport report;
        {
            TDM1 dm;
            ConnectDM1(dm, m_databaseName);
            report = body(dm);
            if (m_unexplainedOnly) {
                if (report.packages.isEmpty())
                    report.packages = ReadPackageRecords(dm.IBQuery1, registration);
                HostPackages host(PackageRoot()); // as the package manager has left it now
                ExplainFindings(report, dm.IBQuery1, host);
                report = report.unexplained();
            }
            dm.finish();
        }
        malloc_trim(0);
        return report;
    }

    QList<FindingLine> lines(const Registration& registration, const CheckReport& report) const
    {
        return m_json ? FindingJsonLines(registration.dir, report) : FindingTextLines(report);
    }

    void print(const Registration&, const QList<FindingLine>& lines)
    {
        for (const FindingLine& line : lines)
            m_console.out << line.line << '\n';
        m_console.out.flush();
    }

    void printNotExamined(const CheckReport& report)
    {
        if (report.notExamined.isEmpty())
            return;
        for (const QString& line : NotExaminedLines(report.notExamined))
            m_console.err << NotExaminedCaption() << QStringLiteral(": ") << line << '\n';
        m_console.err.flush();
    }

    const QString m_databaseName;
    const bool m_json;
    const bool m_unexplainedOnly;
    Console& m_console;
    Progress m_stop; // shows nothing; honours a stop
    QHash<qint32, ReportedFindings> m_reported;
};

} // namespace

int RunWatch(TDM1& dm, const QStringList& dirs, bool json, bool unexplainedOnly, double settleSeconds, Console& console)
{
    QList<Registration> watched;
    if (dirs.isEmpty()) {
        watched = ReadRegistrations(dm.IBQuery1);
        if (watched.isEmpty())
            throw Exception(QStringLiteral("Нет директорий на учете"));
    }
    for (const QString& dir : dirs)
        watched.append(FindRegistration(dm.IBQuery1, CleanDirectoryText(dir)));

    SignalPipe signalPipe;
    QEventLoop loop;
    QSocketNotifier signalled(signalPipe.readEnd(), QSocketNotifier::Read);
    QObject::connect(&signalled, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    WatchSession session(dm.IBDatabase1.databaseName(), json, unexplainedOnly, console);
    RegistrationWatch watch(std::chrono::milliseconds(qint64(settleSeconds * 1000)));

    // Nothing may leave a slot but through here: Qt's event loop does not
    // carry exceptions.
    std::exception_ptr ending;
    const auto guarded = [&](const Registration& registration, const auto& body) {
        if (ending)
            return;
        try {
            try {
                body();
            } catch (...) {
                session.failed(registration, std::current_exception());
            }
        } catch (...) {
            ending = std::current_exception();
            loop.quit();
        }
    };
    bool starting = true; // a check of all of each registration follows anyway
    QObject::connect(&watch, &RegistrationWatch::settled, [&](const Registration& registration, const QList<JudgedName>& names) {
        guarded(registration, [&] { session.judge(registration, names); });
    });
    QObject::connect(&watch, &RegistrationWatch::lost, [&](const Registration& registration, const QString& reason) {
        guarded(registration, [&] {
            session.lost(registration, reason);
            if (!starting)
                session.checkAll(registration);
        });
    });

    // Watched before they are checked: a change while they are is seen.
    for (const Registration& registration : watched)
        watch.watch(registration);
    starting = false;
    for (const Registration& registration : watched) {
        guarded(registration, [&] { session.checkAll(registration); });
        if (ending)
            std::rethrow_exception(ending);
        StopIfAsked();
        session.watching(registration);
    }
    if (!CommandStop::asked())
        loop.exec();
    if (ending)
        std::rethrow_exception(ending);
    StopIfAsked();
    return 0;
}
