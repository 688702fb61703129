#include "support/database_fixture.h"

#include "check/check_run.h"
#include "rows/registration.h"
#include "storage/connect.h"
#include "support/file_rows.h"

#include <QFile>

#include <sys/stat.h>

void DatabaseFixture::SetUp()
{
    ConnectDM1(dm, kDatabaseFileName);
}

QString DatabaseFixture::file(const QString& relative, const QByteArray& contents, int mode)
{
    const QString path = tree.path(QStringLiteral("d/") + relative);
    chmod(QFile::encodeName(path).constData(), 0644);
    tree.file(QStringLiteral("d/") + relative, contents);
    chmod(QFile::encodeName(path).constData(), mode_t(mode));
    return path;
}

Checked DatabaseFixture::check(const QString& checked)
{
    const QString at = checked.isEmpty() ? dir() : checked;
    const qint32 left = CountRows(dm, QStringLiteral("table2"));
    const CheckReport report = RunCheck(dm, at);
    Checked lists{ReportLines(report), report.foundBits()};
    EXPECT_EQ(CountRows(dm, QStringLiteral("table2")), left) << "a check writes nothing";
    for (QStringList* list : {&lists.deleted, &lists.moved, &lists.added, &lists.changed})
        list->replaceInStrings(at + u'/', QString());
    return lists;
}

QStringList DatabaseFixture::sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList DatabaseFixture::registrations()
{
    QStringList lines;
    for (const Registration& each : ReadRegistrations(dm.IBQuery1))
        lines.append(QString::number(each.id) + u' ' + each.dir + u' ' + each.list);
    return lines;
}
