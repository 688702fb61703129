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
#include "seal/seal_verdict.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <cstring>
#include <exception>
#include <functional>
#include <malloc.h>

namespace {

// A seal is verified again after the changes a watch judges, but reading
// every row of a large tree after each of them would keep a busy tree's
// watch reading: the next verification waits this many times as long as the
// last one took.
constexpr int kSealPause = 9;

class WatchSession {
public:
    WatchSession(QString databaseName, bool json, bool unexplainedOnly, const SealKey* publicKey,
                 QList<qint32> watched, Console& console)
        : m_databaseName(std::move(databaseName)), m_json(json), m_unexplainedOnly(unexplainedOnly),
          m_publicKey(publicKey), m_watched(std::move(watched)), m_console(console)
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

    // Verifies the seal of the registrations watched as the database stands
    // now, what other programs committed included, and prints what its lines
    // (see SealLines) say that those printed last did not: a seal broken
    // since, or holding again.
    void verifySeal()
    {
        QElapsedTimer took;
        took.start();
        SealVerdict verdict;
        {
            TDM1 dm;
            ConnectDM1(dm, m_databaseName);
            verdict = VerifySeal(dm.IBQuery1, m_publicKey, m_watched);
            dm.finish();
        }
        malloc_trim(0);
        m_sealTook = took.elapsed();
        m_sealVerified.start();
        const QStringList lines = SealLines(verdict);
        QStringList fresh;
        for (const QString& line : lines)
            if (!m_sealLines.contains(line))
                fresh.append(line);
        m_sealLines = lines;
        if (fresh.isEmpty())
            return;
        if (m_json) {
            QJsonObject seal = SealStamp(verdict);
            seal.insert(QStringLiteral("holds"), !verdict.broken());
            seal.insert(QStringLiteral("lines"), QJsonArray::fromStringList(lines));
            m_console.out << QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("seal"), seal}})
                                                   .toJson(QJsonDocument::Compact))
                          << '\n';
        } else {
            for (const QString& line : fresh)
                m_console.out << line << '\n';
        }
        m_console.out.flush();
    }

    // How long until the seal may be verified again (see kSealPause).
    std::chrono::milliseconds sealPause() const
    {
        if (!m_sealVerified.isValid())
            return std::chrono::milliseconds(0);
        return std::chrono::milliseconds(std::max<qint64>(0, kSealPause * m_sealTook - m_sealVerified.elapsed()));
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

    // Says what a judgement of dir (none: of the seal) raised, and goes on;
    // a stop, and what is no Exception, end the watch.
    void failed(const QString& dir, std::exception_ptr error)
    {
        try {
            std::rethrow_exception(error);
        } catch (const ECommandStopped&) {
            throw;
        } catch (const Exception& failure) {
            m_console.out.flush();
            if (!dir.isEmpty())
                m_console.err << ShownName(dir) << QStringLiteral(": ");
            m_console.err << failure.message() << '\n';
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

    void print(const Registration& registration, const ReportedChange& change)
    {
        for (const QString& name : change.withdrawn)
            m_console.out << WithdrawnLine(registration.dir, name, m_json) << '\n';
        for (const FindingLine& line : change.fresh)
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
    const SealKey* const m_publicKey;
    const QList<qint32> m_watched;
    Console& m_console;
    Progress m_stop; // shows nothing; honours a stop
    QHash<qint32, ReportedFindings> m_reported;
    QStringList m_sealLines; // as last verified
    QElapsedTimer m_sealVerified;
    qint64 m_sealTook = 0; // ms
};

// What a watch says as a signal ends it: that it stopped, and no more; it
// changed nothing to undo.
QString stoppedText(int signal)
{
    const char* name = signal > 0 ? sigabbrev_np(signal) : nullptr;
    return QStringLiteral("Наблюдение остановлено сигналом SIG%1")
        .arg(name ? QString::fromLatin1(name) : QString::number(signal));
}

// RunWatch's watch; a stop leaves it as it leaves a command.
int watchUntilStopped(TDM1& dm, const QStringList& dirs, bool json, bool unexplainedOnly, double settleSeconds,
                      const SealKey* publicKey, Console& console)
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
    QList<qint32> ids;
    for (const Registration& registration : std::as_const(watched))
        ids.append(registration.id);
    WatchSession session(dm.IBDatabase1.databaseName(), json, unexplainedOnly, publicKey, ids, console);
    RegistrationWatch watch(std::chrono::milliseconds(qint64(settleSeconds * 1000)));

    // Nothing may leave a slot but through here: Qt's event loop does not
    // carry exceptions.
    std::exception_ptr ending;
    const auto guarded = [&](const QString& dir, const auto& body) {
        if (ending)
            return;
        try {
            try {
                body();
            } catch (...) {
                session.failed(dir, std::current_exception());
            }
        } catch (...) {
            ending = std::current_exception();
            loop.quit();
        }
    };
    // Each judgement sees what other programs committed since the last one:
    // the seal is verified after it, at once or when its pause is over.
    QTimer sealDue;
    sealDue.setSingleShot(true);
    QObject::connect(&sealDue, &QTimer::timeout, [&] { guarded(QString(), [&] { session.verifySeal(); }); });
    const auto verifySealSoon = [&] {
        if (sealDue.isActive())
            return;
        const std::chrono::milliseconds pause = session.sealPause();
        if (pause.count() == 0)
            guarded(QString(), [&] { session.verifySeal(); });
        else
            sealDue.start(pause);
    };
    bool starting = true; // a check of all of each registration follows anyway
    QObject::connect(&watch, &RegistrationWatch::settled, [&](const Registration& registration, const QList<JudgedName>& names) {
        guarded(registration.dir, [&] { session.judge(registration, names); });
        verifySealSoon();
    });
    QObject::connect(&watch, &RegistrationWatch::lost, [&](const Registration& registration, const QString& reason) {
        guarded(registration.dir, [&] {
            session.lost(registration, reason);
            if (!starting)
                session.checkAll(registration);
        });
        if (!starting)
            verifySealSoon();
    });

    // Watched before they are checked: a change while they are is seen.
    for (const Registration& registration : watched)
        watch.watch(registration);
    starting = false;
    guarded(QString(), [&] { session.verifySeal(); });
    if (ending)
        std::rethrow_exception(ending);
    for (const Registration& registration : watched) {
        guarded(registration.dir, [&] { session.checkAll(registration); });
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

} // namespace

int RunWatch(TDM1& dm, const QStringList& dirs, bool json, bool unexplainedOnly, double settleSeconds,
             const SealKey* publicKey, Console& console)
{
    try {
        return watchUntilStopped(dm, dirs, json, unexplainedOnly, settleSeconds, publicKey, console);
    } catch (const ECommandStopped& stopped) {
        if (stopped.signal() <= 0)
            throw;
        throw ECommandStopped(stopped.signal(), stoppedText(stopped.signal()));
    }
}
