#include "check/judge_in_memory.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct Row {
    const char* dir;
    const char* name;
    qint32 size;
    const char* atr;
    qint32 crc;
    char digest;       // the first byte of the digest; 0 for no fingerprint
    quint32 mode = S_IFREG | 0644;
};

Fingerprint printOf(const Row& row)
{
    Fingerprint print;
    print.mode = row.mode;
    print.owner = 1000;
    print.sha256 = Sha256Digest{quint8(row.digest)};
    print.xattrs = ShareAttributes({});
    return print;
}

void add(CheckRows& rows, const Row& row)
{
    const Fingerprint print = printOf(row);
    rows.append(QString::fromUtf8(row.dir), QString::fromUtf8(row.name), row.size, QString::fromUtf8(row.atr), row.crc,
                row.crc * 7, row.digest ? &print : nullptr);
}

QStringList shown(const CheckReport& report)
{
    QStringList lines;
    for (const Finding& f : report.findings)
        lines << QStringLiteral("%1 %2 <%3> s%4 a%5 c%6 %7>%8 %9>%10")
                     .arg(int(f.kind))
                     .arg(f.file, f.from)
                     .arg(f.size)
                     .arg(f.attributes)
                     .arg(f.contents)
                     .arg(f.sizeBefore.value_or(-1))
                     .arg(f.sizeAfter.value_or(-1))
                     .arg(f.before ? int(f.before->sha256->at(0)) : -1)
                     .arg(f.after ? int(f.after->sha256->at(0)) : -1);
    return lines;
}

// Every kind of finding, the changes of files at their place interleaved in
// the walk with files that moved or are new, and a place recorded twice.
TEST(FileJudgeTest, TakingTheWalkPieceByPieceFindsWhatJudgingItWholeFinds)
{
    const std::vector<Row> recorded = {
        {"/t", "same", 10, "-a-", 1, 'a'},       {"/t", "grown", 10, "-a-", 2, 'b'},
        {"/t", "forged", 10, "-a-", 3, 'c'},     {"/t/d", "moved", 10, "-a-", 4, 'd'},
        {"/t", "copied", 10, "-a-", 5, 'e'},     {"/t", "gone", 10, "-a-", 6, 'f'},
        {"/t", "twice", 10, "-a-", 7, 'g'},      {"/t", "twice", 11, "ra-", 8, 'h'},
        {"/t", "chmod", 10, "-a-", 9, 'i'},      {"/t/d", "movedmode", 10, "-a-", 10, 'j'},
        {"/t", "old", 10, "-a-", 11, 0},
    };
    const std::vector<Row> walked = {
        {"/t", "same", 10, "-a-", 1, 'a'},        {"/t/e", "moved", 10, "-a-", 4, 'd'},
        {"/t", "grown", 12, "-a-", 2, 'b'},       {"/t", "new", 1, "-a-", 40, 'x'},
        {"/t", "forged", 10, "-a-", 3, 'z'},      {"/t", "copied", 10, "-a-", 5, 'e'},
        {"/t/e", "copied", 10, "-a-", 5, 'e'},    {"/t", "twice", 11, "ra-", 8, 'h'},
        {"/t", "chmod", 10, "-a-", 9, 'i', S_IFREG | 0600},
        {"/t/e", "movedmode", 10, "-a-", 10, 'j', S_IFREG | 0755},
        {"/t", "old", 10, "-a-", 11, 'k'},        {"/t", "last", 1, "-a-", 41, 'y'},
    };

    DirectoryTable dirs;
    CheckRows baseline(dirs);
    for (const Row& row : recorded)
        add(baseline, row);
    CheckRows current(dirs);
    for (const Row& row : walked)
        add(current, row);
    CheckReport whole;
    JudgeInMemory(baseline, current, whole, [](qint64) {});
    QStringList found;
    for (const Finding& f : whole.findings)
        found << QString::number(int(f.kind)) + u' ' + f.file;
    // Deleted, in the baseline's order; then moved, new and changed, in the walk's.
    EXPECT_EQ(found, QStringList({"0 /t/d/moved", "0 /t/gone", "0 /t/d/movedmode", "1 /t/e/moved", "3 /t/grown",
                                  "2 /t/new", "3 /t/forged", "2 /t/e/copied", "3 /t/chmod", "1 /t/e/movedmode",
                                  "2 /t/last"}));

    for (const std::size_t piece : {std::size_t(1), std::size_t(2), std::size_t(5)}) {
        FileJudge judge(baseline);
        CheckRows taken(dirs);
        for (std::size_t at = 0; at < walked.size(); ++at) {
            add(taken, walked[at]);
            if (taken.size() == qsizetype(piece) || at + 1 == walked.size()) {
                judge.take(taken);
                taken.clear();
            }
        }
        CheckReport report;
        qint64 judged = 0;
        judge.finish(report, [&](qint64 done) { judged = done; });
        EXPECT_EQ(shown(report), shown(whole)) << "in pieces of " << piece;
        EXPECT_EQ(judged, qint64(recorded.size() + walked.size()));
    }
}

} // namespace
