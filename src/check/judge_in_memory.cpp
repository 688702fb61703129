#include "check/judge_in_memory.h"

#include "check/chain_index.h"
#include "check/check_report.h"
#include "scan/fingerprint_fields.h"

#include <QHash>

#include <optional>
#include <vector>

#include <sys/stat.h>

namespace {

constexpr qint64 kTellEvery = 256;

std::size_t placeHash(const CheckRows& rows, const CheckRow& row)
{
    return qHashMulti(0, row.dir, rows.name(row));
}

std::size_t contentsHash(const CheckRows& rows, const CheckRow& row)
{
    return qHashMulti(0, rows.name(row), row.crc1, row.crc2);
}

// "atr=..." on a text column: the shorter text is padded with blanks.
bool sameText(const QString& a, const QString& b)
{
    auto unpadded = [](const QString& text) {
        qsizetype end = text.size();
        while (end > 0 && text[end - 1] == u' ')
            --end;
        return QStringView(text).first(end);
    };
    return a == b || unpadded(a) == unpadded(b);
}

// Fingerprints are compared where both rows have one: a baseline row written
// before they were kept is judged by its own columns alone.
bool samePrint(const std::optional<Fingerprint>& old, const std::optional<Fingerprint>& now,
               FingerprintField::Change change)
{
    return !old || !now || SameFingerprint(*old, *now, change);
}

// A link's row written when a walk still read what a link leads to: its size,
// checksums, digest and attribute text tell of the target, and only the
// link's own fields (its text, mode, owner and group) compare with a walk
// that records links as links. Such a row has a digest (a link to a file) or
// a size of 0 (to anything else); a link recorded as a link has neither, its
// size being the length of its text.
bool followedLinkRow(const CheckRow& row, const std::optional<Fingerprint>& print)
{
    return print && S_ISLNK(print->mode) && (print->sha256 || row.size == 0);
}

// Sizes recorded when they were kept in 32 bits hold the low 32 bits of the
// size, read as signed: a negative one (a file of 2 to 4 GiB, or of more) can
// be such a row alone, and is compared by what it kept. Any other size is
// compared whole.
bool sameSize32(qint64 recorded, qint64 size)
{
    return recorded == size || (recorded < 0 && quint32(recorded) == quint32(size));
}

} // namespace

class FileJudge::Rows {
public:
    explicit Rows(const CheckRows& baseline)
        : m_baseline(baseline), m_unplaced(baseline.directories()),
          m_at(baseline.size(), [&](quint32 b) { return placeHash(baseline, baseline[b]); },
               [&](quint32 a, quint32 b) { return samePlace(baseline, baseline[a], baseline, baseline[b]); }),
          m_present(std::size_t(baseline.size()), false)
    {
    }

    void take(const CheckRows& current)
    {
        for (qsizetype c = 0; c < current.size(); ++c, ++m_taken) {
            const CheckRow& row = current[c];
            const qint64 first = placeOf(current, row);
            if (first == ChainIndex::kNone) {
                // Moved or new: which, only the whole walk tells.
                m_unplaced.appendCopy(current, row);
                m_unplacedAt.push_back(m_taken);
                continue;
            }
            // A baseline row is deleted when no current row has its name and
            // place; duplicate rows of a place registered twice are judged each.
            for (qint64 b = first; b != ChainIndex::kNone; b = m_at.next(b))
                m_present[std::size_t(b)] = true;
            if (std::optional<Finding> changed = judgeAtPlace(current, row, first))
                m_changed.emplace_back(m_taken, std::move(*changed));
        }
    }

    void finish(CheckReport& report, const std::function<void(qint64)>& judged)
    {
        qint64 done = 0;
        for (qsizetype b = 0; b < m_baseline.size(); ++b) {
            if (!m_present[std::size_t(b)])
                report.add(Finding::of(Finding::Deleted, m_baseline.fullName(m_baseline[b])));
            if (++done % kTellEvery == 0)
                judged(done);
        }
        // What each current row gives, in the walk's order.
        auto changed = m_changed.begin();
        for (qsizetype u = 0; u < m_unplaced.size(); ++u) {
            for (; changed != m_changed.end() && changed->first < m_unplacedAt[std::size_t(u)]; ++changed)
                report.add(std::move(changed->second));
            report.add(judgeUnplaced(m_unplaced[u]));
            if (u % kTellEvery == 0)
                judged(done + m_unplacedAt[std::size_t(u)]);
        }
        for (; changed != m_changed.end(); ++changed)
            report.add(std::move(changed->second));
        judged(done + m_taken);
    }

private:
    static bool samePlace(const CheckRows& rowsA, const CheckRow& a, const CheckRows& rowsB, const CheckRow& b)
    {
        return a.dir == b.dir && rowsA.name(a) == rowsB.name(b);
    }
    static bool sameNameAndSums(const CheckRows& rowsA, const CheckRow& a, const CheckRows& rowsB, const CheckRow& b)
    {
        return a.crc1 == b.crc1 && a.crc2 == b.crc2 && rowsA.name(a) == rowsB.name(b);
    }

    // The first baseline row at the place of a current row.
    qint64 placeOf(const CheckRows& current, const CheckRow& row) const
    {
        return m_at.find(placeHash(current, row),
                         [&](quint32 b) { return samePlace(m_baseline, m_baseline[b], current, row); });
    }

    // A baseline row and a current one, each with its fingerprint where it
    // has one.
    struct Pair {
        const CheckRow& old;
        std::optional<Fingerprint> oldPrint;
        const CheckRow& now;
        const std::optional<Fingerprint>& nowPrint;
    };
    Pair pair(const CheckRow& old, const CheckRow& now, const std::optional<Fingerprint>& nowPrint) const
    {
        return {old, m_baseline.print(old), now, nowPrint};
    }

    bool sameAttributes(const Pair& p, const CheckRows& current) const
    {
        return (sameText(m_baseline.atr(p.old), current.atr(p.now)) || stillFollowedLink(p))
            && samePrint(p.oldPrint, p.nowPrint, FingerprintField::Attributes);
    }
    static bool stillFollowedLink(const Pair& p)
    {
        return followedLinkRow(p.old, p.oldPrint) && p.nowPrint && S_ISLNK(p.nowPrint->mode);
    }
    static bool samePrintedContents(const Pair& p)
    {
        return samePrint(p.oldPrint, p.nowPrint, FingerprintField::Contents);
    }

    // What a current row at its place gives: a change, when no baseline row
    // of the place agrees (the count statements count them all).
    std::optional<Finding> judgeAtPlace(const CheckRows& current, const CheckRow& row, qint64 first) const
    {
        const std::optional<Fingerprint> print = current.print(row);
        bool sameSize = false;
        bool sameAtr = false;
        bool sameContents = false;
        for (qint64 b = first; b != ChainIndex::kNone; b = m_at.next(b)) {
            const Pair p = pair(m_baseline[b], row, print);
            sameSize = sameSize || sameSize32(p.old.size, row.size) || stillFollowedLink(p);
            sameAtr = sameAtr || sameAttributes(p, current);
            sameContents = sameContents || stillFollowedLink(p)
                || (p.old.crc1 == row.crc1 && p.old.crc2 == row.crc2 && samePrintedContents(p));
        }
        if (sameSize && sameAtr && sameContents)
            return std::nullopt;
        const CheckRow& found = m_baseline[first];
        Finding changed = Finding::of(Finding::Changed, m_baseline.fullName(found));
        changed.size = !sameSize;
        changed.attributes = !sameAtr;
        changed.contents = !sameContents;
        return withStates(std::move(changed), pair(found, row, print));
    }

    Finding judgeUnplaced(const CheckRow& row)
    {
        const std::optional<Fingerprint> print = m_unplaced.print(row);
        if (const qint64 from = movedFrom(row); from != ChainIndex::kNone) {
            const Pair p = pair(m_baseline[from], row, print);
            Finding moved = Finding::of(Finding::Moved, m_unplaced.fullName(row));
            moved.from = m_baseline.fullName(p.old);
            moved.attributes = !sameAttributes(p, m_unplaced);
            return withStates(std::move(moved), p);
        }
        return Finding::of(Finding::New, m_unplaced.fullName(row));
    }

    // The baseline row that row moved from: the first of the same file (see
    // SameMovedFile) whose place the scan left empty; kNone for none.
    qint64 movedFrom(const CheckRow& row)
    {
        // Made when the first file not at its place needs it: a check that
        // finds every file at its place spares it.
        if (!m_with)
            m_with.emplace(
                m_baseline.size(), [&](quint32 b) { return contentsHash(m_baseline, m_baseline[b]); },
                [&](quint32 a, quint32 b) { return sameNameAndSums(m_baseline, m_baseline[a], m_baseline, m_baseline[b]); });
        const qint64 first = m_with->find(contentsHash(m_unplaced, row), [&](quint32 b) {
            return sameNameAndSums(m_baseline, m_baseline[b], m_unplaced, row);
        });
        for (qint64 b = first; b != ChainIndex::kNone; b = m_with->next(b))
            if (!m_present[std::size_t(b)] && SameMovedFile(m_baseline, m_baseline[b], m_unplaced, row))
                return b;
        return ChainIndex::kNone;
    }

    static Finding withStates(Finding finding, const Pair& p)
    {
        finding.setStates(p.old.size, p.oldPrint, p.now.size, p.nowPrint);
        return finding;
    }

    const CheckRows& m_baseline;
    CheckRows m_unplaced;               // the current rows at no baseline row's place
    std::vector<qint64> m_unplacedAt;   // where each is in the walk
    std::vector<std::pair<qint64, Finding>> m_changed; // the changes found, with where in the walk
    ChainIndex m_at;                    // the baseline rows of each place
    std::optional<ChainIndex> m_with;   // the baseline rows of each name and checksums
    std::vector<bool> m_present;        // whether the walk has a file at a baseline row's place
    qint64 m_taken = 0;
};

FileJudge::FileJudge(const CheckRows& baseline) : m_rows(std::make_unique<Rows>(baseline)) {}

FileJudge::~FileJudge() = default;

void FileJudge::take(const CheckRows& current)
{
    m_rows->take(current);
}

void FileJudge::finish(CheckReport& report, const std::function<void(qint64 judged)>& judged)
{
    m_rows->finish(report, judged);
}

void JudgeInMemory(const CheckRows& baseline, const CheckRows& current, CheckReport& report,
                   const std::function<void(qint64 judged)>& judged)
{
    FileJudge judge(baseline);
    judge.take(current);
    judge.finish(report, judged);
}
