#include "check/check_run.h"

#include "check/show_file.h"
#include "common/exception.h"
#include "common/progress.h"
#include "scan/directory_walk.h"
#include "storage/directory_rows.h"
#include "storage/dm1.h"

#include <QSet>

namespace {

const QString kCount = QStringLiteral("count");

QString extensionList(TDM1& dm, const QString& dir)
{
    dm.IBQuery1.openStatement(Statement(u"select * from tab where file_name=").quoted(dir));
    if (dm.IBQuery1.fieldIsNull(QStringLiteral("id")))
        throw Exception(QStringLiteral("Директория не стоит на учете: ") + dir);
    return dm.IBQuery1.fieldAsString(QStringLiteral("ext"));
}

// Moves IBQuery1 on to the next row to judge. The lookup on IBQuery2 has been
// read by then; closing it first spares running it again through the master
// link only for its result to be thrown away.
void nextRow(TDM1& dm)
{
    dm.IBQuery2.close();
    dm.IBQuery1.next();
}

void commitScan(TDM1& dm)
{
    dm.IBTransaction1.commit();
    dm.IBTransaction1.startTransaction();
}

} // namespace

void EmptyTable2(TDM1& dm)
{
    dm.IBQuery1.openStatement(Statement(u"select count(*) from table2"));
    const qint32 count = dm.IBQuery1.fieldAsInteger(kCount);
    if (count == 0)
        return;
    const Statement all(u"select * from table2");
    dm.IBQuery2.openStatement(all);
    const qint32 first = dm.IBQuery2.fieldAsInteger(QStringLiteral("id"));
    dm.IBQuery2.executeStatement(Statement(u"delete from table2 where id=").number(first));
    // IBQuery2 keeps its place while IBQuery1 only executes deletes.
    dm.IBQuery2.openStatement(all);
    for (qint32 i = 1; i < count; ++i) {
        if (i > 1)
            dm.IBQuery2.next();
        dm.IBQuery1.executeStatement(Statement(u"delete from table2 where id=").number(dm.IBQuery2.fieldAsInteger(QStringLiteral("id"))));
    }
}

CheckReport RunCheck(TDM1& dm, const QString& dir, Progress* progress)
{
    CheckReport report;
    const QString list = extensionList(dm, dir);
    EmptyTable2(dm);
    ScanToCurrent(dm, dir, list, progress);
    commitScan(dm);

    // Pass 1: baseline rows whose file is gone.
    Statement countBaseline(u"select count(*) from table1 where ");
    dm.IBQuery1.openStatement(AppendDirectoryRows(countBaseline, dir));
    const qint32 baselineRows = dm.IBQuery1.fieldAsInteger(kCount);
    if (baselineRows > 0) {
        Statement baseline(u"select * from table1 where ");
        dm.IBQuery1.openStatement(AppendDirectoryRows(baseline, dir));
        for (qint32 i = 0; i < baselineRows; ++i) {
            if (i > 0)
                nextRow(dm);
            const param verdict = CheckBaselineFile(dm.IBQuery1, dm.IBQuery2);
            if (verdict.state == param::Deleted)
                report.deleted.append(verdict.text);
            if (progress)
                progress->judging(QStringLiteral("Удаленные файлы"), i + 1, baselineRows);
        }
    }

    // Pass 2: every file of the new scan.
    QSet<QString> movedFrom;
    dm.IBQuery1.openStatement(Statement(u"select count(*) from table2"));
    const qint32 currentRows = dm.IBQuery1.fieldAsInteger(kCount);
    if (currentRows > 0) {
        dm.IBQuery1.openStatement(Statement(u"select * from table2"));
        for (qint32 i = 0; i < currentRows; ++i) {
            if (i > 0)
                nextRow(dm);
            const param verdict = CompareCurrentFile(dm.IBQuery2, dm.IBQuery1, dir);
            if (verdict.state == param::Moved) {
                report.moved.append(verdict.text);
                movedFrom.insert(verdict.movedFrom);
            } else if (verdict.state == param::New) {
                report.added.append(verdict.text);
            }
            for (QChar letter : verdict.flags)
                report.changed.append(ChangeLine(verdict.text, letter));
            if (progress)
                progress->judging(QStringLiteral("Текущие файлы"), i + 1, currentRows);
        }
    }

    EmptyTable2(dm);

    // A moved file is missing from its old place, so pass 1 listed that place
    // as deleted too. Only the exact old names are struck: a substring test
    // would also strike /d/a.txt because /d/a.txt.bak moved.
    if (!movedFrom.isEmpty())
        report.deleted.removeIf([&](const QString& line) { return movedFrom.contains(line); });
    return report;
}
