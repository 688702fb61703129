#pragma once

#include "check/finding.h"
#include "rows/package_records.h"
#include "scan/not_examined.h"

#include <QJsonObject>
#include <QList>

// The bits of what a check found; the console's exit status is made of them.
enum FoundBits : int {
    kFoundNew = 1,
    kFoundDeleted = 2,
    kFoundChanged = 4,
    kFoundMoved = 8,
    kFoundSealBroken = 64, // the seal does not hold, or cannot be verified
};

// What an integrity check found: a finding for each file that is not as it was
// recorded, in the order judged (the deleted files in the baseline's order,
// then the others in the order walked), and what the walk could not examine.
// Every report is rendered from the findings alone: the text lists and the
// report window (report_text.h), and the JSON (report_json.h).
struct CheckReport {
    QList<Finding> findings;
    NotExaminedList notExamined;
    // What verifying the seal found (see SealLines), shown before the lists;
    // sealBroken when it does not hold.
    QStringList sealLines;
    bool sealBroken = false;
    QJsonObject sealStamp; // the key, generation and time of a seal that holds (see SealStamp)
    // The packages the baseline recorded, read with the rows the seal covers;
    // what explains the findings (see ExplainFindings).
    PackageRecords packages;

    void add(Finding finding) { findings.append(std::move(finding)); }
    // Drops the deleted files that are the old places of moved ones.
    void strikeMovedFromDeleted();
    // The same report with the findings no explanation covers alone.
    CheckReport unexplained() const;
    // What was found, as FoundBits: a moved file whose attributes changed is
    // also a change.
    int foundBits() const;
};
