#include "common/exception.h"
#include "storage/connect.h"
#include "storage/database_file.h"
#include "storage/dm1.h"
#include "support/temp_tree.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlField>
#include <QSqlRecord>
#include <gtest/gtest.h>

namespace {

TEST(DatabaseFileTest, CreatesTheThreeTablesWithTheirColumnsInOrder)
{
    TempDatabase database;
    TDM1 dm;
    ConnectDM1(dm, kDatabaseFileName);
    const QSqlDatabase db = dm.IBDatabase1.handle();
    const QStringList fileColumns = {QStringLiteral("ID"), QStringLiteral("FILE_NAME"), QStringLiteral("FULL_PATH"),
                                     QStringLiteral("FILE_SIZE"), QStringLiteral("DATA"), QStringLiteral("ATR"),
                                     QStringLiteral("CRC1"), QStringLiteral("CRC2")};
    auto columns = [&](const QString& table) {
        QStringList names;
        const QSqlRecord record = db.record(table);
        for (int i = 0; i < record.count(); ++i)
            names.append(record.fieldName(i));
        return names;
    };
    EXPECT_EQ(columns(QStringLiteral("TAB")), (QStringList{QStringLiteral("ID"), QStringLiteral("FILE_NAME"), QStringLiteral("EXT")}));
    EXPECT_EQ(columns(QStringLiteral("TABLE1")), fileColumns);
    EXPECT_EQ(columns(QStringLiteral("TABLE2")), fileColumns);
}

TEST(DatabaseFileTest, NeverOverwritesAnExistingFileAndLeavesNoTemporaryBehind)
{
    TempTree tree;
    const QString path = tree.file(QStringLiteral("file.gdb"), "precious");
    EXPECT_THROW(CreateDatabaseFile(path), Exception);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("precious"));
    EXPECT_EQ(QDir(tree.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{QStringLiteral("file.gdb")});
}

TEST(DatabaseFileTest, AnUnwritableDirectoryGivesAnErrorAndNoFile)
{
    EXPECT_THROW(CreateDatabaseFile(QStringLiteral("/proc/no-such-dir/file.gdb")), Exception);
    EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/no-such-dir/file.gdb")));
}

} // namespace
