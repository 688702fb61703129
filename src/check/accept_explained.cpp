#include "check/accept_explained.h"

#include "check/check_run.h"
#include "check/explain_findings.h"
#include "packages/host_packages.h"
#include "registration/accept_files.h"
#include "registration/record_packages.h"
#include "rows/registration.h"
#include "storage/dm1.h"

ExplainedAccept AcceptExplained(TDM1& dm, const QString& dir, const QString& packageRoot, Progress* progress)
{
    // In the change's own transaction: the seal verified before it still
    // stands for what is accepted and sealed again.
    CheckReport report = RunCheck(dm, dir, progress, std::nullopt, nullptr, true);
    HostPackages host(packageRoot);
    ExplainFindings(report, dm.IBQuery1, host);
    ExplainedAccept done;
    QStringList names;
    for (const Finding& finding : report.findings) {
        if (!finding.explanation) {
            ++done.left;
            continue;
        }
        ++done.accepted;
        QString name = finding.file;
        if (finding.directory && name.size() > 1)
            name.chop(1);
        names.append(name);
    }
    const Registration registration = FindRegistration(dm.IBQuery1, dir);
    if (!names.isEmpty())
        done.recorded = AcceptFiles(dm, dir, names, registration.id, std::nullopt);
    RecordPackages(dm.IBQuery1, registration, packageRoot);
    // Logged even with nothing to accept: the packages were recorded afresh.
    LogEntry logged = NewLogEntry(LogEntry::AcceptExplained, registration.id);
    logged.names = names;
    WriteLogEntry(dm.IBQuery1, logged);
    done.recorded.registrations.insert(registration.id);
    return done;
}
