#include "scan/attr_text.h"
#include "scan/dos_time.h"
#include "scan/ext_matches.h"
#include "support/qt_printers.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace {

struct FilterCase {
    const char* list;
    const char* name;
    bool recorded;
};

// The file name goes through the walk's own steps: its extension, then both
// texts lower-cased.
bool recorded(const QString& list, const QString& name)
{
    return ExtMatches(FileExtension(name).toLower(), list.toLower());
}

TEST(ExtMatchesTest, DecidesLikeTheWalk)
{
    const FilterCase cases[] = {
        {"*", "a.txt", true},
        {"*", "README", true},
        {"txt,doc", "a.txt", true},
        {"txt,doc", "b.DOC", true},
        {"txt,doc", "c.Txt", true},
        {"txt,doc", "d.docx", false},
        {"txt,doc", "e", false},
        {"txt,doc", "f.txt.bak", false},
        {"TXT", "a.txt", true},
        {"txt, doc", "b.doc", false}, // the second item is " doc"
        {"txt, doc", "b. doc", true},
        {".txt", "a.txt", false},     // compared with a second dot in front
        {"txt,", "a.txt", true},
        {"txt,", "a.", true},         // the empty last item compares as "."
        {"txt,", "a", false},
        {"", "a.txt", false},
        {"", "a", false},
        {"*,txt", "a.txt", true},
        {"*,txt", "a.doc", false},    // "*" among others is an ordinary item
        {"*,txt", "a.*", true},
        {"gz", "a.tar.gz", true},
        {"tar", "a.tar.gz", false},
        {"txt", ".txt", true},        // a hidden file's whole name is its extension
        {"txt,,doc", "x.doc", true},
        {"тхт", "файл.ТХТ", true},    // Cyrillic folds too
    };
    for (const FilterCase& c : cases)
        EXPECT_EQ(recorded(QString::fromUtf8(c.list), QString::fromUtf8(c.name)), c.recorded)
            << "list \"" << c.list << "\", file \"" << c.name << "\"";
}

TEST(AttrToTextTest, GivesReadOnlyHiddenAndWholeWordAtLeast32)
{
    const std::pair<qint32, const char*> cases[] = {{32, "001"}, {33, "101"}, {1, "100"}, {128, "001"},
                                                    {6, "010"},  {35, "111"}, {0, "000"}, {16, "000"},
                                                    {48, "001"}, {19, "110"}};
    for (auto [attr, text] : cases)
        EXPECT_EQ(AttrToText(attr), QString::fromLatin1(text)) << attr;
}

qint32 expectedPacked(const QDateTime& local)
{
    const QDate d = local.date();
    const QTime t = local.time();
    const quint32 date = quint32(d.year() - 1980) * 512 + quint32(d.month()) * 32 + quint32(d.day());
    const quint32 time = quint32(t.hour()) * 2048 + quint32(t.minute()) * 32 + quint32(t.second() / 2);
    return qint32(date * 65536 + time);
}

TEST(PackDosDateTimeTest, PacksLocalTimeAndClampsWhatTheFormatCannotHold)
{
    const QDateTime moments[] = {
        QDateTime(QDate(2004, 5, 17), QTime(13, 45, 20)),
        QDateTime(QDate(1980, 1, 1), QTime(0, 0, 0)),
        QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)),
        QDateTime(QDate(2044, 3, 1), QTime(6, 7, 9)), // the top bit set: a negative word
        QDateTime(QDate(2107, 12, 31), QTime(23, 59, 58)),
    };
    for (const QDateTime& moment : moments)
        EXPECT_EQ(PackDosDateTime(moment.toSecsSinceEpoch()), expectedPacked(moment)) << moment.toString().toStdString();

    EXPECT_EQ(PackDosDateTime(QDateTime(QDate(2004, 5, 17), QTime(13, 45, 20)).toSecsSinceEpoch()), 816934314);
    const qint32 first = expectedPacked(QDateTime(QDate(1980, 1, 1), QTime(0, 0, 0)));
    const qint32 last = expectedPacked(QDateTime(QDate(2107, 12, 31), QTime(23, 59, 58)));
    EXPECT_EQ(PackDosDateTime(0), first);
    EXPECT_EQ(PackDosDateTime(QDateTime(QDate(1979, 12, 31), QTime(23, 59, 59)).toSecsSinceEpoch()), first);
    EXPECT_EQ(PackDosDateTime(QDateTime(QDate(2108, 1, 1), QTime(0, 0, 0)).toSecsSinceEpoch()), last);
    EXPECT_EQ(PackDosDateTime(std::time_t(1) << 40), last);
}

// Known packed values worked out by hand, not by the formula: an odd second
// is halved down, and moments the format cannot hold take its first or last.
TEST(PackDosDateTimeTest, GivesTheKnownPackedValues)
{
    const struct {
        QDateTime local;
        qint32 packed;
    } cases[] = {
        {QDateTime(QDate(2004, 5, 17), QTime(13, 45, 20)), 816934314},
        {QDateTime(QDate(2004, 5, 17), QTime(13, 45, 21)), 816934314},
        {QDateTime(QDate(2021, 7, 4), QTime(9, 8, 7)), 1390692611},
        {QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)), 664780669},
        {QDateTime(QDate(2044, 3, 1), QTime(6, 7, 9)), -2141114140},
        {QDateTime(QDate(1980, 1, 1), QTime(0, 0, 0)), 2162688},
        {QDateTime(QDate(1975, 6, 15), QTime(12, 0, 0)), 2162688},
        {QDateTime(QDate(2107, 12, 31), QTime(23, 59, 59)), -6307971},
        {QDateTime(QDate(2150, 1, 1), QTime(12, 0, 0)), -6307971},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PackDosDateTime(c.local.toSecsSinceEpoch()), c.packed) << c.local.toString().toStdString();
}

} // namespace
