#pragma once

class HostPackages;
class TIBQuery;
struct CheckReport;

// Gives each finding of report the explanation the package manager's records
// (host) give it (see ExplanationRules), or none: a package installed,
// upgraded or removed since the baseline (report.packages) that made the
// change, judged by what is on disk now against the package's records, and
// where apt's cache has the package, against the archive's signature too.
// query reads what the baseline kept of packages removed since. Where the
// host has no dpkg database, or the baseline recorded no packages (it was
// recorded before they were kept), nothing is explained.
void ExplainFindings(CheckReport& report, TIBQuery& query, HostPackages& host);
