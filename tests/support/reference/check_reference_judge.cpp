#include "support/reference/check_reference_judge.h"

#include "check/report_text.h"
#include "rows/directory_rows.h"
#include "rows/registration.h"
#include "rows/walk_rows.h"
#include "scan/directory_entries.h"
#include "storage/dm1.h"
#include "support/reference/rows_current_rows.h"

namespace {

const QString kFileName = QStringLiteral("File_name");
const QString kFullPath = QStringLiteral("full_path");

bool countIsZero(TIBQuery& query, const Statement& statement)
{
    query.openStatement(statement);
    return query.fieldAsInteger(QStringLiteral("count")) == 0;
}

// "... where   file_name='<name>' and full_path='<path>'" of the change tests.
Statement changeTest(const QString& name, const QString& path)
{
    return std::move(Statement(u"select count(*) from TABLE1 where   file_name=").quoted(name).sql(u" and full_path=").quoted(path));
}

// Moves IBQuery1 on to the next row to judge, closing the lookup on IBQuery2,
// which has been read by then.
void nextRow(TDM1& dm)
{
    dm.IBQuery2.close();
    dm.IBQuery1.next();
}

// Pass 1: every baseline row of dir whose file is gone.
void judgeBaseline(TDM1& dm, const QString& dir, CheckReport& report)
{
    Statement countBaseline(u"select count(*) from table1 where ");
    dm.IBQuery1.openStatement(AppendDirectoryRows(countBaseline, dir));
    const qint32 baselineRows = dm.IBQuery1.fieldAsInteger(QStringLiteral("count"));
    if (baselineRows == 0)
        return;
    Statement baseline(u"select * from table1 where ");
    dm.IBQuery1.openStatement(AppendDirectoryRows(baseline, dir));
    for (qint32 i = 0; i < baselineRows; ++i) {
        if (i > 0)
            nextRow(dm);
        const param verdict = CheckBaselineFile(dm.IBQuery1, dm.IBQuery2);
        if (verdict.state == param::Deleted)
            report.add(Finding::of(Finding::Deleted, verdict.text));
    }
}

// Pass 2: every file of the scan, moved, new or changed.
void judgeCurrent(TDM1& dm, const QString& dir, CheckReport& report)
{
    dm.IBQuery1.openStatement(Statement(u"select count(*) from table2"));
    const qint32 currentRows = dm.IBQuery1.fieldAsInteger(QStringLiteral("count"));
    if (currentRows == 0)
        return;
    dm.IBQuery1.openStatement(Statement(u"select * from table2"));
    for (qint32 i = 0; i < currentRows; ++i) {
        if (i > 0)
            nextRow(dm);
        const param verdict = CompareCurrentFile(dm.IBQuery2, dm.IBQuery1, dir);
        if (verdict.state == param::Moved) {
            Finding moved = Finding::of(Finding::Moved, verdict.movedTo);
            moved.from = verdict.movedFrom;
            moved.attributes = verdict.flags.contains(u'A');
            report.add(std::move(moved));
        } else if (verdict.state == param::New) {
            report.add(Finding::of(Finding::New, verdict.text));
        } else if (!verdict.flags.isEmpty()) {
            Finding changed = Finding::of(Finding::Changed, verdict.text);
            changed.size = verdict.flags.contains(u'S');
            changed.attributes = verdict.flags.contains(u'A');
            changed.contents = verdict.flags.contains(u'C');
            report.add(std::move(changed));
        }
    }
}

} // namespace

param CheckBaselineFile(TIBQuery& baseline, TIBQuery& lookup)
{
    const QString name = baseline.fieldAsString(kFileName);
    const QString path = baseline.fieldAsString(kFullPath);
    param result;
    if (countIsZero(lookup, Statement(u"SELECT count(*) from table2 where File_name=").quoted(name).sql(u" and full_path=").quoted(path))) {
        result.state = param::Deleted;
        result.text = JoinPath(path, name);
    } else {
        result.state = param::AtPlace;
    }
    return result;
}

param CompareCurrentFile(TIBQuery& lookup, TIBQuery& current, const QString& directory)
{
    const QString name = current.fieldAsString(kFileName);
    const QString path = current.fieldAsString(kFullPath);
    const qint64 size = current.fieldAsLargeInt(QStringLiteral("file_size"));
    const QString atr = current.fieldAsString(QStringLiteral("atr"));
    const qint32 crc1 = current.fieldAsInteger(QStringLiteral("crc1"));
    const qint32 crc2 = current.fieldAsInteger(QStringLiteral("crc2"));
    param result;

    lookup.openStatement(Statement(u"SELECT * from table1 where File_name=").quoted(name).sql(u" and full_path=").quoted(path).sql(u"  "));
    if (!lookup.fieldIsNull(kFileName)) {
        result.state = param::AtPlace;
        // The text is the baseline row's own full name, read before the change
        // tests replace the result.
        result.text = JoinPath(lookup.fieldAsString(kFullPath), lookup.fieldAsString(kFileName));
        // Each change test counts the baseline rows of this name and place that
        // still agree. When the row found above agrees, that count is not 0 and
        // the test need not run; only a disagreeing row leaves it open (another
        // row of the same place, from a second registration, may still agree).
        const bool sameSize = lookup.fieldAsLargeInt(QStringLiteral("file_size")) == size;
        const bool sameAtr = lookup.fieldAsString(QStringLiteral("atr")) == atr;
        const bool sameContents = lookup.fieldAsInteger(QStringLiteral("crc1")) == crc1
            && lookup.fieldAsInteger(QStringLiteral("crc2")) == crc2;
        if (!sameSize && countIsZero(lookup, changeTest(name, path).sql(u" and file_size=").bigNumber(size)))
            result.flags += u'S';
        if (!sameAtr && countIsZero(lookup, changeTest(name, path).sql(u" and atr=").quoted(atr)))
            result.flags += u'A';
        if (!sameContents
            && countIsZero(lookup, changeTest(name, path).sql(u" and Crc1=").number(crc1).sql(u" and Crc2=").number(crc2)))
            result.flags += u'C';
        return result;
    }

    // A copy whose original is still at its place is no move: the old place
    // must be missing from the scan.
    Statement moved(u"SELECT * from table1 where File_name=");
    moved.quoted(name).sql(u" and crc1=").number(crc1).sql(u" and crc2=").number(crc2).sql(u" and ");
    AppendDirectoryRows(moved, directory)
        .sql(u" and not exists (select 1 from table2 where table2.file_name=table1.file_name"
             u" and table2.full_path=table1.full_path)");
    lookup.openStatement(moved);
    if (!lookup.fieldIsNull(kFileName)) {
        result.state = param::Moved;
        result.movedFrom = JoinPath(lookup.fieldAsString(kFullPath), lookup.fieldAsString(kFileName));
        result.movedTo = JoinPath(path, name);
        result.text = MovedLine(result.movedFrom, result.movedTo);
        // A file moved and made read-only, say, has changed on the way too.
        if (lookup.fieldAsString(QStringLiteral("atr")) != atr)
            result.flags += u'A';
        return result;
    }

    // Always zero after the first statement found nothing in this transaction;
    // kept as the last word on whether the file is new.
    if (countIsZero(lookup, Statement(u"SELECT count(*) from table1 where File_name=").quoted(name).sql(u" and full_path=").quoted(path))) {
        result.state = param::New;
        result.text = JoinPath(path, name);
    }
    return result;
}

CheckReport ReferenceCheck(TDM1& dm, const QString& dir)
{
    const Registration checked = FindRegistration(dm.IBQuery1, dir);
    dm.IBTransaction1.beginWriting();
    EmptyTable2(dm);
    CheckReport report;
    report.notExamined = ScanToCurrent(dm, dir, checked.list);
    dm.IBTransaction1.commit();
    dm.IBTransaction1.startTransaction();
    judgeBaseline(dm, dir, report);
    judgeCurrent(dm, dir, report);
    report.strikeMovedFromDeleted();
    dm.IBTransaction1.beginWriting();
    EmptyTable2(dm);
    return report;
}
