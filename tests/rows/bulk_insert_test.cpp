#include "common/exception.h"
#include "rows/bulk_insert.h"
#include "rows/walk_rows.h"
#include "scan/file_walker.h"
#include "storage/dm1.h"
#include "support/database_fixture.h"
#include "support/file_rows.h"
#include "support/reference/rows_current_rows.h"

#include <gtest/gtest.h>

#include <functional>

// The walk writes its rows in batches; these tests hold them to the rows that
// InsertBaselineRecord writes one by one for the same walk.
namespace {

class BulkInsertTest : public DatabaseFixture {
protected:
    // The rows of a walk of dir written one per statement into table2, as
    // the walk wrote them before batches; the error that ended it, if any.
    QString walkOneByOne(const QString& dir)
    {
        FileWalker walker(dir, QStringLiteral("*"));
        IdCounter ids;
        FileWalker::Step step;
        try {
            while (walker.next(step)) {
                if (step.error)
                    std::rethrow_exception(step.error);
                if (!step.entered)
                    InsertCurrentRecord(dm.IBQuery1, step.dir, step.entry, &ids, &step.sums);
            }
        } catch (const Exception& error) {
            return error.message();
        }
        return QString();
    }
    QString walkInBatches(const QString& dir)
    {
        try {
            ScanToBaseline(dm, dir, QStringLiteral("*"));
        } catch (const Exception& error) {
            return error.message();
        }
        return QString();
    }

    // A table's rows, all columns, in id order.
    QStringList rows(const QString& table)
    {
        QStringList lines;
        for (const FileRow& row : ReadFileRows(dm, table))
            lines.append(QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8")
                             .arg(row.id)
                             .arg(row.name, row.path)
                             .arg(row.size)
                             .arg(row.data, row.atr)
                             .arg(row.crc1)
                             .arg(row.crc2));
        return lines;
    }
    // The ids in the order the database returns the rows without being asked
    // for one: the order they were written in.
    QList<qint32> storedOrder(const QString& table)
    {
        QList<qint32> ids;
        dm.IBQuery1.openStatement(Statement(QString(QStringLiteral("select id from ") + table)));
        if (dm.IBQuery1.hasRow())
            do
                ids.append(dm.IBQuery1.fieldAsInteger(QStringLiteral("id")));
            while (dm.IBQuery1.next());
        return ids;
    }
};

TEST_F(BulkInsertTest, WritesTheRowsOneByOneWouldInTheSameOrder)
{
    // Three full batches and some, names and paths of every width a batch
    // declares, and texts that quote.
    for (int i = 0; i < 3 * BulkInsert::kBatch + 5; ++i) {
        QString name = QStringLiteral("f%1.txt").arg(i);
        if (i % 7 == 0)
            name = QString(100 + i, u'n') + name; // over 64 bytes
        if (i % 11 == 0)
            name = QStringLiteral("о'браен-%1").arg(i);
        QString dir = QStringLiteral("d%1").arg(i % 3);
        if (i % 5 == 0)
            dir += u'/' + QString(100, u'ж') + u'/' + QString(100, u'ж'); // a path over 256 bytes
        tree.file(dir + u'/' + name, QByteArray::number(i * 31));
    }
    // Ids go on from those already in the table.
    tree.file(QStringLiteral("first/one"), "1");
    EXPECT_TRUE(walkInBatches(tree.path(QStringLiteral("first"))).isEmpty());
    EXPECT_TRUE(walkOneByOne(tree.path(QStringLiteral("first"))).isEmpty());

    EXPECT_TRUE(walkInBatches(tree.path()).isEmpty());
    EXPECT_TRUE(walkOneByOne(tree.path()).isEmpty());
    const QStringList inBatches = rows(QStringLiteral("table1"));
    EXPECT_EQ(inBatches.size(), 3 * BulkInsert::kBatch + 5 + 2);
    EXPECT_EQ(inBatches, rows(QStringLiteral("table2")));
    EXPECT_EQ(storedOrder(QStringLiteral("table1")), storedOrder(QStringLiteral("table2")));
    QList<qint32> ascending = storedOrder(QStringLiteral("table1"));
    std::sort(ascending.begin(), ascending.end());
    EXPECT_EQ(storedOrder(QStringLiteral("table1")), ascending);
}

} // namespace
