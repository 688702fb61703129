#include "cli/cli_run.h"
#include "support/temp_tree.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

class CliReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(cli(work(), {QStringLiteral("init")}).status, 0);
        tree.file(QStringLiteral("d/keep.txt"), "keep");
        tree.file(QStringLiteral("d/gone.txt"), "gone");
        tree.file(QStringLiteral("d/grow.txt"), "grow");
        tree.file(QStringLiteral("d/flip.txt"), "1234");
        tree.file(QStringLiteral("d/old/a перемещен в b.txt"), "a name that reads like a move");
        tree.file(QStringLiteral("d/it's \"quoted\".txt"), "odd");
        ASSERT_EQ(cli(work(), {QStringLiteral("add"), dir()}).status, 0);
    }
    void changeEveryKind()
    {
        QFile::remove(tree.path(QStringLiteral("d/gone.txt")));
        tree.file(QStringLiteral("d/grow.txt"), "grown");
        tree.file(QStringLiteral("d/flip.txt"), "4321");
        QFile::setPermissions(tree.path(QStringLiteral("d/it's \"quoted\".txt")), QFile::ReadOwner);
        QFile::rename(tree.path(QStringLiteral("d/old/a перемещен в b.txt")),
                      tree.dir(QStringLiteral("d/new")) + QStringLiteral("/a перемещен в b.txt"));
        tree.file(QStringLiteral("d/fresh.txt"), "fresh");
    }
    QString work() const { return home.path(); }
    QString dir() const { return tree.path(QStringLiteral("d")); }

    TempTree home;
    TempTree tree;
};

// The text report's four sections, each a list of its lines.
QList<QStringList> textSections(const QString& out)
{
    QList<QStringList> sections;
    for (const QString& block : out.split(QStringLiteral("\n\n"))) {
        QStringList lines = block.split(u'\n', Qt::SkipEmptyParts);
        lines.removeFirst(); // the caption
        if (lines == QStringList{QStringLiteral("Не обнаружено")})
            lines.clear();
        sections.append(lines);
    }
    return sections;
}

// The JSON report told as the text report's lines.
QList<QStringList> jsonSections(const QJsonObject& report)
{
    QList<QStringList> sections(4);
    for (const QJsonValue& name : report[u"deleted"].toArray())
        sections[0].append(name.toString());
    for (const QJsonValue& move : report[u"moved"].toArray())
        sections[1].append(move[u"from"].toString() + QStringLiteral(" перемещен в ") + move[u"to"].toString());
    // A directory is an object that says so.
    for (const QJsonValue& name : report[u"new"].toArray())
        sections[2].append(name.isObject() ? name[u"path"].toString() : name.toString());
    for (const QJsonValue& change : report[u"changed"].toArray()) {
        const QString file = change[u"file"].toString();
        if (change[u"size"].toBool())
            sections[3].append(file + QStringLiteral(" изменен размер файла,"));
        if (change[u"attributes"].toBool())
            sections[3].append(file + QStringLiteral(" изменены атрибуты файла,"));
        if (change[u"contents"].toBool())
            sections[3].append(file + QStringLiteral(" изменено содержание файла,"));
    }
    return sections;
}

TEST_F(CliReportTest, TheJsonReportSaysWhatTheTextReportSays)
{
    changeEveryKind();
    const Result text = cli(work(), {QStringLiteral("check"), dir()});
    ASSERT_EQ(text.status, 15) << text.err.toStdString();
    const Result json = cli(work(), {QStringLiteral("check"), QStringLiteral("--json"), dir()});
    EXPECT_EQ(json.status, 15) << json.err.toStdString();
    EXPECT_EQ(json.err, QString());

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.out.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    const QJsonObject report = document.object();
    EXPECT_EQ(report[u"directory"].toString(), dir());
    EXPECT_EQ(jsonSections(report), textSections(text.out));
    const QJsonObject moved = report[u"moved"].toArray().at(0).toObject();
    EXPECT_EQ(moved[u"to"].toString(), dir() + QStringLiteral("/new/a перемещен в b.txt"));
    QJsonObject flip;
    for (const QJsonValue& change : report[u"changed"].toArray())
        if (change[u"file"].toString() == dir() + QStringLiteral("/flip.txt"))
            flip = change.toObject();
    ASSERT_FALSE(flip.isEmpty());
    EXPECT_FALSE(flip[u"size"].toBool());
    EXPECT_FALSE(flip[u"attributes"].toBool());
    EXPECT_TRUE(flip[u"contents"].toBool());
}

// Sizes are whole, past 32 bits too: a file grown by 4 GiB has changed size,
// and one of 3 GiB is that. The files are sparse, so cost no room.
TEST_F(CliReportTest, SizesPast32BitsAreReportedWhole)
{
    constexpr qint64 kGiB = qint64(1) << 30;
    struct Case {
        const char* name;
        qint64 recorded;
        qint64 found;
    };
    const Case cases[] = {
        {"grown", 5, 4 * kGiB + 5},
        {"big", 5, 3 * kGiB},
    };
    const QString sizes = tree.path(QStringLiteral("sizes"));
    for (const Case& c : cases)
        ASSERT_TRUE(QFile::resize(tree.file(QStringLiteral("sizes/") + QLatin1String(c.name), "12345"), c.recorded));
    ASSERT_EQ(cli(work(), {QStringLiteral("add"), sizes}).status, 0);
    for (const Case& c : cases)
        ASSERT_TRUE(QFile::resize(sizes + u'/' + QLatin1String(c.name), c.found));
    const Result json = cli(work(), {QStringLiteral("check"), QStringLiteral("--json"), sizes});
    EXPECT_EQ(json.status, 4) << json.err.toStdString();
    QHash<QString, QJsonObject> changed;
    for (const QJsonValue& change : QJsonDocument::fromJson(json.out.toUtf8())[u"changed"].toArray())
        changed.insert(change[u"file"].toString().section(u'/', -1), change.toObject());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QJsonObject change = changed.value(QLatin1String(c.name));
        EXPECT_TRUE(change[u"size"].toBool());
        EXPECT_EQ(change[u"before"][u"size"].toInteger(), c.recorded);
        EXPECT_EQ(change[u"after"][u"size"].toInteger(), c.found);
    }
}

TEST_F(CliReportTest, ACleanCheckGivesEmptyListsAndStatusZero)
{
    const Result json = cli(work(), {QStringLiteral("check"), QStringLiteral("--json"), dir()});
    EXPECT_EQ(json.status, 0);
    const QJsonObject report = QJsonDocument::fromJson(json.out.toUtf8()).object();
    for (const char* list : {"deleted", "moved", "new", "changed"})
        EXPECT_TRUE(report[QLatin1String(list)].isArray() && report[QLatin1String(list)].toArray().isEmpty()) << list;
}

TEST_F(CliReportTest, UpdateAcceptsTheChangesAndTheNextCheckFindsNothing)
{
    changeEveryKind();
    Result r = cli(work(), {QStringLiteral("update"), dir() + u'/'});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("На учете находится: 6  файлов.\n"));
    EXPECT_EQ(cli(work(), {QStringLiteral("check"), dir()}).status, 0);
    EXPECT_EQ(cli(work(), {QStringLiteral("list")}).out, dir() + QStringLiteral("\tТипы файлов: *\nНа учете находится: 6  файлов.\n"));

    r = cli(work(), {QStringLiteral("update"), tree.path()});
    EXPECT_EQ(r.status, 16);
    EXPECT_EQ(r.err, QStringLiteral("Директория не стоит на учете: ") + tree.path() + u'\n');
    EXPECT_EQ(cli(work(), {QStringLiteral("update")}).status, 16);
}

} // namespace
