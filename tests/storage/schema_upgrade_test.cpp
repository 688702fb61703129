#include "check/check_run.h"
#include "check/report_text.h"
#include "registration/put_under_control.h"
#include "seal/sealed_change.h"
#include "registration/update_control.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "storage/schema.h"
#include "support/file_rows.h"
#include "support/temp_tree.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <unistd.h>

#include <sys/stat.h>

// A database made by an earlier version is brought up to this one's tables when
// it is opened, its rows kept; one that may not be altered is used as it is.
namespace {

void run(const QString& program, const QStringList& args, const QByteArray& input = {})
{
    QProcess process;
    process.start(program, args);
    process.write(input);
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAll().toStdString() << process.readAllStandardError().toStdString();
}

// Makes the database as the earliest builds made it: names and paths in UTF-8
// text columns, where "x" equals "x ", with an index on the file names, and,
// unless keepFingerprints, without the fingerprint table.
void makeEarlier(const QString& file, bool keepFingerprints)
{
    QByteArray script = "create domain text_name as varchar(1020) character set utf8;\n"
                        "create domain text_path as varchar(4096) character set utf8;\n"
                        "alter table tab alter file_name type text_path;\n";
    for (const char* table : {"table1", "table2"})
        script += QByteArray("alter table ") + table + " alter file_name type text_name, alter full_path type text_path;\n";
    script += "create index table1_file_name on table1 (file_name);\n";
    if (!keepFingerprints)
        script += "drop table fingerprint;\n";
    run(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-u"), QStringLiteral("sysdba"), file},
        script + "commit;\n");
}

// Puts the file sizes back in 32-bit columns, as databases made before they
// were 64-bit have them, the rows kept. The engine never narrows a column:
// the tables are made anew.
void narrowSizes(const QString& file)
{
    QByteArray script;
    for (const SchemaTable& table : SchemaTables()) {
        if (table.name != u"table1" && table.name != u"table2")
            continue;
        const QByteArray name = table.name.toUtf8();
        const QByteArray narrow = QString(table.statement)
                                      .replace(QStringLiteral("file_size bigint"), QStringLiteral("file_size integer"))
                                      .toUtf8();
        script += QByteArray(narrow).replace("create table " + name, "create table kept_rows") + ";\n"
            + "insert into kept_rows select * from " + name + ";\ncommit;\n"
            + "drop table " + name + ";\n" + narrow + ";\n"
            + "insert into " + name + " select * from kept_rows;\ncommit;\n"
            + "drop table kept_rows;\n";
    }
    run(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-u"), QStringLiteral("sysdba"), file},
        script + "commit;\n");
}

// The engine's type of each table's file_size column ("table1:8 table2:8"
// for integer, 16 for bigint).
QString sizeTypes(TDM1& dm)
{
    dm.IBQuery1.openStatement(Statement(u"select trim(r.rdb$relation_name) || ':' || f.rdb$field_type as t"
                                        u" from rdb$relation_fields r join rdb$fields f"
                                        u" on f.rdb$field_name=r.rdb$field_source where r.rdb$field_name='FILE_SIZE'"
                                        u" order by 1"));
    QStringList types;
    if (dm.IBQuery1.hasRow())
        do
            types << dm.IBQuery1.fieldAsString(QStringLiteral("t")).toLower();
        while (dm.IBQuery1.next());
    return types.join(u' ');
}

// The number of the name columns that hold bytes.
int byteColumns(TDM1& dm)
{
    dm.IBQuery1.openStatement(Statement(u"select count(*) from rdb$relation_fields r join rdb$fields f"
                                        u" on f.rdb$field_name=r.rdb$field_source"
                                        u" where r.rdb$relation_name in ('TAB','TABLE1','TABLE2')"
                                        u" and r.rdb$field_name in ('FILE_NAME','FULL_PATH') and f.rdb$character_set_id=1"));
    return dm.IBQuery1.fieldAsInteger(QStringLiteral("count"));
}

class SchemaUpgradeTest : public ::testing::Test {
protected:
    // d holds names that text columns would take for one another, put under
    // control and committed.
    void putUnderControl()
    {
        tree.file(QStringLiteral("d/x"), "1");
        tree.file(QStringLiteral("d/x "), "2");
        tree.file(QStringLiteral("d/Привет"), "3");
        TDM1 dm;
        ConnectDM1(dm, kDatabaseFileName);
        PutUnderControl(dm, dir(), QStringLiteral("*"));
        dm.finish();
    }
    QString dir() const { return tree.path(QStringLiteral("d")); }
    void chmod(const char* name, mode_t mode)
    {
        ASSERT_EQ(::chmod(QFile::encodeName(tree.path(QStringLiteral("d/") + QString::fromUtf8(name))).constData(), mode), 0);
    }
    ReportLists check(TDM1& dm)
    {
        ReportLists lists = ReportLines(RunCheck(dm, dir()));
        for (QStringList* list : {&lists.deleted, &lists.changed})
            list->replaceInStrings(dir() + u'/', QString());
        return lists;
    }

    TempDatabase database;
    TempTree tree;
};

TEST_F(SchemaUpgradeTest, AnEarlierDatabaseGetsNamesOfBytesAndFingerprintsWithItsRowsKept)
{
    putUnderControl();
    makeEarlier(database.file(), false);
    TDM1 dm;
    EXPECT_EQ(ConnectDM1(dm, kDatabaseFileName), QString());
    EXPECT_EQ(byteColumns(dm), 5);
    EXPECT_EQ(SortedFullNames(dm, QStringLiteral("table1"), dir() + u'/'),
              (QStringList{QStringLiteral("x"), QStringLiteral("x "), QStringLiteral("Привет")}));

    // Rows written without fingerprints are judged by their own columns, byte
    // for byte, until their directory is recorded afresh.
    ASSERT_TRUE(QFile::remove(tree.path(QStringLiteral("d/x "))));
    tree.file(QStringLiteral("d/Привет"), "4");
    chmod("x", 0646);
    ReportLists found = check(dm);
    EXPECT_EQ(found.deleted, QStringList{QStringLiteral("x ")});
    EXPECT_EQ(found.changed, QStringList{QStringLiteral("Привет изменено содержание файла,")});
    UpdateControl(dm, dir());
    chmod("x", 0644);
    EXPECT_EQ(check(dm).changed, QStringList{QStringLiteral("x изменены атрибуты файла,")});
    dm.finish();
    TDM1 again;
    EXPECT_EQ(ConnectDM1(again, kDatabaseFileName), QString()) << "brought up to date once";
}

// Rows and a seal written while sizes were 32-bit hold unchanged once the
// column is widened: the widening keeps every value, and the seal encodes a
// size as it always did. A file of 3 GiB, whose size then read as negative,
// is compared by the 32 bits its row kept.
TEST_F(SchemaUpgradeTest, SizesIn32BitsAreWidenedWithTheirRowsAndTheirSealHolding)
{
    const QString big = tree.file(QStringLiteral("d/big"));
    ASSERT_EQ(::truncate(QFile::encodeName(big).constData(), 3LL << 30), 0); // sparse
    putUnderControl();
    {
        TDM1 dm;
        ConnectDM1(dm, kDatabaseFileName);
        dm.IBQuery1.executeStatement(Statement(u"update table1 set file_size=-1073741824 where file_name='big'"));
        dm.finish();
    }
    narrowSizes(database.file());
    const SealKey key = SealKey::generate();
    {
        // Sealed as an earlier version would: opened as it is, not brought up
        // to date.
        TDM1 dm;
        dm.IBDatabase1.setDatabaseName(kDatabaseFileName);
        dm.IBDatabase1.open();
        dm.IBTransaction1.startTransaction();
        EXPECT_EQ(sizeTypes(dm), QStringLiteral("table1:8 table2:8"));
        SealDatabase(dm.IBQuery1, &key);
        dm.finish();
    }
    TDM1 dm;
    EXPECT_EQ(ConnectDM1(dm, kDatabaseFileName), QString());
    EXPECT_EQ(sizeTypes(dm), QStringLiteral("table1:16 table2:16"));
    const CheckReport report = RunCheck(dm, dir(), nullptr, std::nullopt, &key);
    EXPECT_FALSE(report.sealBroken) << report.sealLines.join(u'\n').toStdString();
    EXPECT_EQ(report.findings.size(), 0);
}

TEST_F(SchemaUpgradeTest, ADatabaseThatMayNotBeAlteredIsCheckedAsItIsAndSaysSoOnOneLine)
{
    putUnderControl();
    narrowSizes(database.file());
    makeEarlier(database.file(), true);
    run(QStringLiteral("gfix"), {QStringLiteral("-user"), QStringLiteral("sysdba"), QStringLiteral("-mode"),
                                 QStringLiteral("read_only"), database.file()});
    TDM1 dm;
    const QString notice = ConnectDM1(dm, kDatabaseFileName);
    EXPECT_TRUE(notice.contains(database.file())) << notice.toStdString();
    EXPECT_FALSE(notice.contains(u'\n')) << notice.toStdString();
    EXPECT_EQ(byteColumns(dm), 0);
    EXPECT_EQ(sizeTypes(dm), QStringLiteral("table1:8 table2:8"));
    ASSERT_TRUE(QFile::remove(tree.path(QStringLiteral("d/x "))));
    tree.file(QStringLiteral("d/Привет"), "34");
    const ReportLists found = check(dm);
    EXPECT_EQ(found.deleted, QStringList{QStringLiteral("x ")});
    EXPECT_EQ(found.changed, (QStringList{QStringLiteral("Привет изменен размер файла,"),
                                          QStringLiteral("Привет изменено содержание файла,")}));
}

} // namespace

// A seal made before a field was kept holds after the upgrade that adds it:
// the rows are digested as they were sealed, the new field unknown in them
// and compared with nothing, until the next sealed change writes them with
// it. From then on the field counts in checks and in the seal.
TEST_F(SchemaUpgradeTest, ASealMadeBeforeAFieldWasKeptHoldsUntilTheNextSealedChange)
{
    putUnderControl();
    const SealKey key = SealKey::generate();
    {
        TDM1 dm;
        ConnectDM1(dm, kDatabaseFileName);
        SealDatabase(dm.IBQuery1, &key, nullptr, 1);
        dm.finish();
    }
    // What that version's database lacked.
    run(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-u"), QStringLiteral("sysdba"), database.file()},
        "alter table fingerprint drop link_count;\nalter table directory_print drop link_count;\n"
        "alter table seal drop field_set;\ncommit;\n");
    const QString x = tree.path(QStringLiteral("d/x"));
    const QString elsewhere = tree.path(QStringLiteral("x-elsewhere"));
    ASSERT_EQ(::link(QFile::encodeName(x).constData(), QFile::encodeName(elsewhere).constData()), 0);

    TDM1 dm;
    EXPECT_EQ(ConnectDM1(dm, kDatabaseFileName), QString());
    const auto checked = [&] {
        const CheckReport report = RunCheck(dm, dir(), nullptr, std::nullopt, &key);
        QStringList lines = report.sealLines.filter(QStringLiteral("изменены"));
        for (const QString& line : ReportLines(report).changed)
            lines.append(QString(line).remove(dir() + u'/'));
        return lines;
    };
    EXPECT_EQ(checked(), QStringList()) << "the old rows know no link count";
    RunChange(
        dm, [&] { return key; }, [&] { return QSet<qint32>{UpdatedRegistrations(dm.IBQuery1, dir()).first().id}; },
        [&] { return UpdateControl(dm, dir()).registrations; });
    EXPECT_EQ(checked(), QStringList());
    ASSERT_TRUE(QFile::remove(elsewhere));
    EXPECT_EQ(checked(), QStringList{QStringLiteral("x изменены атрибуты файла,")});
    dm.IBQuery1.executeStatement(Statement(u"update fingerprint set link_count=1"));
    EXPECT_EQ(checked(), (QStringList{QStringLiteral("Записи директории изменены помимо программы: ") + dir()}));
    dm.finish();
}
