#include "cli/cli_run.h"
#include "support/temp_tree.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>

namespace {

// A database file's pages as the engine lays them out (on-disk structure 12):
// the page size at byte 16 of the header page; in every page, its type in
// byte 0; in a data page, its relation at byte 20, its count of records at
// 22 and, from 24, each record's offset and length, and in a record's header
// its format at byte 12; in a pointer page, its relation at byte 26. Numbers
// are little-endian.
class Pages {
public:
    explicit Pages(QByteArray bytes) : m_bytes(std::move(bytes)), m_size(word(0, 16)) {}

    static constexpr char kPointer = 4, kData = 5, kBtree = 7;

    QByteArray& bytes() { return m_bytes; }
    int size() const { return m_size; }
    int count() const { return int(m_bytes.size() / m_size); }
    int offset(int page) const { return page * m_size; }
    char type(int page) const { return m_bytes[offset(page)]; }
    void setType(int page, char type) { m_bytes[offset(page)] = type; }
    int word(int page, int at) const
    {
        const auto* bytes = reinterpret_cast<const uchar*>(m_bytes.constData()) + offset(page) + at;
        return bytes[0] | bytes[1] << 8;
    }
    int records(int page) const { return word(page, 22); }
    int recordOffset(int page, int record) const { return word(page, 24 + 4 * record); }
    int recordLength(int page, int record) const { return word(page, 26 + 4 * record); }

    // The first and the last page of type whose relation is relation.
    std::optional<int> first(char type, int relation) const
    {
        for (int page = 0; page < count(); ++page)
            if (this->type(page) == type && word(page, type == kData ? 20 : 26) == relation)
                return page;
        return std::nullopt;
    }
    std::optional<int> last(char type, int relation) const
    {
        for (int page = count() - 1; page >= 0; --page)
            if (this->type(page) == type && word(page, type == kData ? 20 : 26) == relation)
                return page;
        return std::nullopt;
    }
    // The data page that holds bytes.
    std::optional<int> dataPageHolding(const QByteArray& bytes) const
    {
        for (int page = 0; page < count(); ++page)
            if (type(page) == kData && QByteArrayView(m_bytes).sliced(offset(page), m_size).indexOf(bytes) >= 0)
                return page;
        return std::nullopt;
    }

private:
    QByteArray m_bytes;
    int m_size;
};

// What a run of kvaren-cli gave, or none when it had not ended after a minute
// (it is then killed).
std::optional<Result> runWithin(const QString& dir, const QStringList& args)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(cliPath(), args);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return std::nullopt;
    }
    return Result{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                  QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// Runs a shell command line as the user would paste it; its exit status and
// what it wrote.
std::pair<int, QString> runShell(const QString& line)
{
    QProcess shell;
    // The distribution's tools run the installed engine, not the program's.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("FIREBIRD"));
    shell.setProcessEnvironment(environment);
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line});
    if (!shell.waitForFinished(120000)) {
        shell.kill();
        shell.waitForFinished(5000);
        return {-1, QStringLiteral("did not end")};
    }
    return {shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1, QString::fromLocal8Bit(shell.readAll())};
}

const QByteArray kName = "damaged-baseline-name-";

// Bytes of a database made by the program are overwritten where the engine
// keeps table1's rows or the tables' descriptions. Whatever is broken, a
// command ends on its own, never by a signal; what the engine notices is
// answered with status 16 and one line naming the file and the gfix command
// that verifies it, and that command works. Damage it does not notice (a
// record's header that makes it look like no record) the digests of the rows
// tell.
TEST(CliDamageTest, ADamagedFileIsNamedOnOneLineWithTheCommandsThatVerifyAndMendIt)
{
    enum Seen { Unnoticed, Noticed };
    // Relations the engine numbers itself: RDB$RELATIONS, read as the
    // database is attached, and RDB$RELATION_FIELDS, read to bring it up to
    // the program's tables.
    constexpr int kRelations = 6, kRelationFields = 5;
    const struct {
        const char* what;
        Seen list;
        Seen check;
        std::function<void(Pages&, int dataPage)> smash;
    } cases[] = {
        {"table1's data page typed as a b-tree page", Noticed, Noticed,
         [](Pages& p, int page) { p.setType(page, Pages::kBtree); }},
        {"table1's data page zeroed", Noticed, Noticed,
         [](Pages& p, int page) { std::memset(p.bytes().data() + p.offset(page), 0, std::size_t(p.size())); }},
        // Found as the rows are read, after those of the pages before it.
        {"table1's last data page typed as a b-tree page", Noticed, Noticed,
         [](Pages& p, int page) { p.setType(*p.last(Pages::kData, p.word(page, 20)), Pages::kBtree); }},
        {"table1's pointer page typed as a data page", Noticed, Noticed,
         [](Pages& p, int page) { p.setType(*p.first(Pages::kPointer, p.word(page, 20)), Pages::kData); }},
        // Reading the rows finds it: a check's, and list's, which verifies
        // every registration's digest.
        {"table1's records given a format the table never had", Noticed, Noticed,
         [](Pages& p, int page) {
             for (int r = 0; r < p.records(page); ++r)
                 p.bytes()[p.offset(page) + p.recordOffset(page, r) + 12] = char(0xee);
         }},
        {"table1's records' contents past their header overwritten", Noticed, Noticed,
         [](Pages& p, int page) {
             for (int r = 0; r < p.records(page); ++r)
                 std::memset(p.bytes().data() + p.offset(page) + p.recordOffset(page, r) + 13, 0x81,
                             std::size_t(p.recordLength(page, r) - 13));
         }},
        {"table1's records overwritten header and all", Unnoticed, Unnoticed,
         [](Pages& p, int page) {
             for (int r = 0; r < p.records(page); ++r)
                 std::memset(p.bytes().data() + p.offset(page) + p.recordOffset(page, r), 0x80,
                             std::size_t(p.recordLength(page, r)));
         }},
        {"RDB$RELATIONS' first data page typed as a b-tree page", Noticed, Noticed,
         [](Pages& p, int) { p.setType(*p.first(Pages::kData, kRelations), Pages::kBtree); }},
        {"RDB$RELATION_FIELDS' first data page typed as a b-tree page", Noticed, Noticed,
         [](Pages& p, int) { p.setType(*p.first(Pages::kData, kRelationFields), Pages::kBtree); }},
    };
    // Rows enough for several data pages.
    TempTree tree;
    for (int i = 0; i < 300; ++i)
        tree.file(QStringLiteral("d/sub/") + QString::fromLatin1(kName) + QString::number(i), QByteArray::number(i));
    const QString dir = tree.path(QStringLiteral("d"));

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempTree home;
        const QString database = home.path(QStringLiteral("file.gdb"));
        ASSERT_EQ(cli(home.path(), {QStringLiteral("init")}).status, 0);
        ASSERT_EQ(cli(home.path(), {QStringLiteral("add"), dir}).status, 0);
        QFile file(database);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        Pages pages(file.readAll());
        ASSERT_EQ(pages.size(), 16384);
        const std::optional<int> dataPage = pages.dataPageHolding(kName);
        ASSERT_TRUE(dataPage);
        ASSERT_GT(pages.records(*dataPage), 0);
        ASSERT_NE(pages.last(Pages::kData, pages.word(*dataPage, 20)), dataPage);
        c.smash(pages, *dataPage);
        ASSERT_TRUE(file.seek(0));
        ASSERT_EQ(file.write(pages.bytes()), pages.bytes().size());
        file.close();

        std::optional<QString> damageLine;
        for (const auto& [args, seen] : {std::pair{QStringList{QStringLiteral("list")}, c.list},
                                         std::pair{QStringList{QStringLiteral("check"), dir}, c.check}}) {
            SCOPED_TRACE(args.join(u' ').toStdString());
            const std::optional<Result> r = runWithin(home.path(), args);
            ASSERT_TRUE(r) << "did not end";
            ASSERT_GE(r->status, 0) << "ended by a signal";
            if (seen == Unnoticed) {
                // The digests of the rows tell what the engine does not.
                EXPECT_EQ(r->status & 64, 64) << r->status << r->out.toStdString() << r->err.toStdString();
                EXPECT_TRUE(r->out.startsWith(QStringLiteral("Записи директории изменены помимо программы: ") + dir))
                    << r->out.toStdString();
                continue;
            }
            EXPECT_EQ(r->status, 16);
            const QStringList lines = r->err.split(u'\n', Qt::SkipEmptyParts);
            ASSERT_EQ(lines.size(), 1) << r->err.toStdString();
            EXPECT_TRUE(lines[0].startsWith(QStringLiteral("База данных повреждена: ") + database + u'.'))
                << r->err.toStdString();
            EXPECT_TRUE(lines[0].contains(QStringLiteral("gfix -user sysdba -v -full ") + database))
                << r->err.toStdString();
            EXPECT_TRUE(lines[0].contains(QStringLiteral("gfix -user sysdba -mend ") + database))
                << r->err.toStdString();
            damageLine = lines[0];
        }
        if (!damageLine)
            continue;
        // The verifying command, pasted as it stands, finds what is broken:
        // it counts the errors, or, when the tables' descriptions are, cannot
        // attach and says why.
        const QRegularExpressionMatch verify =
            QRegularExpression(QStringLiteral("Проверьте ее: (.*); сохраните")).match(*damageLine);
        ASSERT_TRUE(verify.hasMatch());
        const auto [status, said] = runShell(verify.captured(1));
        const bool counted = status == 0 && said.contains(QRegularExpression(QStringLiteral("Number of .* errors\\s*: [1-9]")));
        const bool refused = status != 0 && said.startsWith(QStringLiteral("database file appears corrupt"));
        EXPECT_TRUE(counted || refused) << status << ' ' << said.toStdString();
    }
}

} // namespace
