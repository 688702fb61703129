#include "check/check_run.h"
#include "check/report_json.h"
#include "check/report_text.h"
#include "registration/put_under_control.h"
#include "support/database_fixture.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The whole text and JSON reports of one check, against the files in golden/:
// a file moved, one new (its name not UTF-8), one deleted, one changed in
// size, attributes and contents, one unchanged. KVAREN_UPDATE_GOLDEN=1 writes
// the files anew from what the check gives.
namespace {

QByteArray golden(const char* name, const QByteArray& made)
{
    const QString path = QStringLiteral(KVAREN_GOLDEN_DIR "/") + QString::fromUtf8(name);
    QFile file(path);
    if (qEnvironmentVariableIsSet("KVAREN_UPDATE_GOLDEN")) {
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(made);
        return made;
    }
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

QByteArray withoutFileSystemFields(const QByteArray& json)
{
    QJsonObject report = QJsonDocument::fromJson(json).object();
    for (const char16_t* list : {u"changed", u"moved"}) {
        QJsonArray entries = report[list].toArray();
        for (QJsonValueRef entry : entries) {
            QJsonObject object = entry.toObject();
            for (const char16_t* state : {u"before", u"after"}) {
                QJsonObject fields = object[state].toObject();
                for (const char16_t* field : {u"xattrs", u"acl", u"capabilities", u"flags"})
                    fields.remove(QString::fromUtf16(field));
                object[state] = fields;
            }
            entry = object;
        }
        report[list] = entries;
    }
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

using ReportGoldenTest = DatabaseFixture;

TEST_F(ReportGoldenTest, TheTextAndJsonReportsOfOneCheck)
{
    file(QStringLiteral("keep.txt"), "kept as it is");
    file(QStringLiteral("gone.txt"), "to be deleted");
    file(QStringLiteral("old/moved.txt"), "to be moved", 0600);
    file(QStringLiteral("changed.txt"), "before");
    tree.dir(QStringLiteral("d/new"));
    PutUnderControl(dm, dir(), QStringLiteral("*"));

    ASSERT_TRUE(QFile::remove(tree.path(QStringLiteral("d/gone.txt"))));
    ASSERT_TRUE(QFile::rename(tree.path(QStringLiteral("d/old/moved.txt")), tree.path(QStringLiteral("d/new/moved.txt"))));
    file(QStringLiteral("changed.txt"), "after, and longer", 0444);
    const QByteArray odd = QFile::encodeName(dir()) + "/caf\xe9.txt";
    const int fd = ::open(odd.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "new", 3), 3);
    ::close(fd);
    ASSERT_EQ(::chmod(odd.constData(), 0644), 0);

    const CheckReport report = RunCheck(dm, dir());
    QString text = ReportText(report);
    text.replace(tree.path(), QStringLiteral("ROOT"));
    EXPECT_EQ(QString::fromUtf8(golden("check_report.txt", text.toUtf8())), text);

    // The ids and names of users and groups are the machine's, and so is
    // what its file system keeps beyond the mode.
    QString json = QString::fromUtf8(withoutFileSystemFields(ReportJson(dir(), report)))
                       .replace(tree.path(), QStringLiteral("ROOT"));
    json.replace(QRegularExpression(QStringLiteral("\"(uid|gid)\": \\d+")), QStringLiteral("\"\\1\": \"ID\""));
    json.replace(QRegularExpression(QStringLiteral("\"(user|group)\": (\"[^\"]*\"|null)")), QStringLiteral("\"\\1\": \"NAME\""));
    EXPECT_EQ(QString::fromUtf8(golden("check_report.json", json.toUtf8())), json);
    ::unlink(odd.constData()); // Qt cannot name it to remove it with the tree
}

} // namespace
