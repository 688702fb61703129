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

#include <iterator>

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

// No two names show alike, in the text or in the JSON, and none passes for
// another by what a reader cannot see: each name is recorded, then deleted,
// and the report names it from its row as the case says. A name ending in
// "/" is a directory.
TEST_F(ReportGoldenTest, NamesShowSoThatNoTwoLookAlike)
{
    const struct {
        QByteArray name;
        QString text;
        QString json;
    } cases[] = {
        {"raw\xff", QStringLiteral("raw\\xff"), QStringLiteral("raw\\xff")},
        {"raw\\xff", QStringLiteral("raw\\\\xff"), QStringLiteral("raw\\\\xff")},
        {"c1\xc2\x85", QStringLiteral("c1\\u0085"), QStringLiteral("c1\u0085")},
        {"c1\x85", QStringLiteral("c1\\x85"), QStringLiteral("c1\\x85")},
        {"keep.txt", QStringLiteral("keep.txt"), QStringLiteral("keep.txt")},
        {"ke\xe2\x80\x8b" "ep.txt", QStringLiteral("ke\\u200bep.txt"), QStringLiteral("ke\u200bep.txt")},
        {"update-\xe2\x80\xae" "hs.gol", QStringLiteral("update-\\u202ehs.gol"), QStringLiteral("update-\u202ehs.gol")},
        {"tag\xf3\xa0\x81\x81", QStringLiteral("tag\\U000e0041"), QStringLiteral("tag\U000e0041")},
        {"new\nline", QStringLiteral("new\\nline"), QStringLiteral("new\nline")},
        {" lead", QStringLiteral("\\x20lead"), QStringLiteral(" lead")},
        {"trail ", QStringLiteral("trail\\x20"), QStringLiteral("trail ")},
        {"nbsp\xc2\xa0", QStringLiteral("nbsp\\u00a0"), QStringLiteral("nbsp\u00a0")},
        {"in side", QStringLiteral("in side"), QStringLiteral("in side")},
        {"   /", QStringLiteral("\\x20\\x20\\x20/"), QStringLiteral("   /")},
        {"   /in.txt", QStringLiteral("\\x20\\x20\\x20/in.txt"), QStringLiteral("   /in.txt")},
        // U+1F480 is D83D DC80: its second half is no byte.
        {"\xf0\x9f\x92\x80", QStringLiteral("\U0001F480"), QStringLiteral("\U0001F480")},
    };
    const QByteArray root = QFile::encodeName(dir()) + '/';
    ASSERT_EQ(::mkdir(root.constData(), 0755), 0);
    for (const auto& c : cases) {
        const QByteArray path = root + c.name;
        if (c.name.endsWith('/')) {
            ASSERT_EQ(::mkdir(path.constData(), 0755), 0) << c.name.toStdString();
            continue;
        }
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << c.name.toStdString();
        ::close(fd);
    }
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    EXPECT_EQ(RunCheck(dm, dir()).foundBits(), 0) << "every name is recorded byte for byte";

    // A line is made of shown names, not shown as a whole.
    const int fd = ::open(QByteArray(root + "trail ").constData(), O_WRONLY | O_APPEND);
    ASSERT_EQ(::write(fd, "x", 1), 1);
    ::close(fd);
    EXPECT_TRUE(ReportText(RunCheck(dm, dir())).split(u'\n').contains(dir() + QStringLiteral("/trail\\x20 изменен размер файла,")));

    for (auto c = std::rbegin(cases); c != std::rend(cases); ++c)
        ASSERT_EQ(c->name.endsWith('/') ? ::rmdir(QByteArray(root + c->name).constData())
                                        : ::unlink(QByteArray(root + c->name).constData()),
                  0);
    const CheckReport report = RunCheck(dm, dir());
    const QStringList text = ReportText(report).split(u'\n');
    QStringList json;
    for (const QJsonValue& deleted : QJsonDocument::fromJson(ReportJson(dir(), report))[u"deleted"].toArray())
        json.append(deleted.isObject() ? deleted[u"path"].toString() : deleted.toString());
    QStringList shown;
    for (const auto& c : cases) {
        shown.append(c.text);
        EXPECT_TRUE(text.contains(dir() + u'/' + c.text)) << c.text.toStdString() << "\n" << text.join(u'\n').toStdString();
        EXPECT_TRUE(json.contains(dir() + u'/' + c.json)) << c.text.toStdString();
    }
    EXPECT_EQ(json.size(), qsizetype(std::size(cases)));
    shown.removeDuplicates();
    EXPECT_EQ(shown.size(), qsizetype(std::size(cases))) << "two names show alike";
}

} // namespace
