#include "check/judge_in_memory.h"

#include "check/chain_index.h"
#include "check/check_report.h"
#include "rows/fingerprint_columns.h"

#include <QHash>

#include <optional>
#include <vector>

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
bool samePrint(const Fingerprint* old, const Fingerprint* now, FingerprintColumn::Change change)
{
    return !old || !now || SameFingerprint(*old, *now, change);
}

class Judge {
public:
    Judge(const CheckRows& baseline, const CheckRows& current, CheckReport& report,
          const std::function<void(qint64)>& judged)
        : m_baseline(baseline), m_current(current), m_report(report), m_judged(judged),
          m_at(baseline.size(), [&](quint32 b) { return placeHash(baseline, baseline[b]); },
               [&](quint32 a, quint32 b) { return samePlace(baseline, baseline[a], baseline, baseline[b]); }),
          m_present(std::size_t(baseline.size()), false)
    {
    }

    void run()
    {
        // A baseline row is deleted when no current row has its name and
        // place; duplicate rows of a place registered twice are judged each.
        for (qsizetype c = 0; c < m_current.size(); ++c)
            for (qint64 b = placeOf(m_current[c]); b != ChainIndex::kNone; b = m_at.next(b))
                m_present[std::size_t(b)] = true;
        for (qsizetype b = 0; b < m_baseline.size(); ++b) {
            if (!m_present[std::size_t(b)])
                m_report.add(Finding::of(Finding::Deleted, m_baseline.fullName(m_baseline[b])));
            tell();
        }
        for (qsizetype c = 0; c < m_current.size(); ++c) {
            judgeCurrent(m_current[c]);
            tell();
        }
        m_judged(m_done);
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
    qint64 placeOf(const CheckRow& row) const
    {
        return m_at.find(placeHash(m_current, row),
                         [&](quint32 b) { return samePlace(m_baseline, m_baseline[b], m_current, row); });
    }

    bool sameAttributes(const CheckRow& old, const CheckRow& now) const
    {
        return sameText(m_baseline.atr(old), m_current.atr(now))
            && samePrint(m_baseline.print(old), m_current.print(now), FingerprintColumn::Attributes);
    }
    bool samePrintedContents(const CheckRow& old, const CheckRow& now) const
    {
        return samePrint(m_baseline.print(old), m_current.print(now), FingerprintColumn::Contents);
    }

    void judgeCurrent(const CheckRow& row)
    {
        const qint64 first = placeOf(row);
        if (first != ChainIndex::kNone) {
            // At its place. A change is reported when no baseline row of the
            // place agrees (the count statements count them all).
            bool sameSize = false;
            bool sameAtr = false;
            bool sameContents = false;
            for (qint64 b = first; b != ChainIndex::kNone; b = m_at.next(b)) {
                const CheckRow& old = m_baseline[b];
                sameSize = sameSize || old.size == row.size;
                sameAtr = sameAtr || sameAttributes(old, row);
                sameContents = sameContents || (old.crc1 == row.crc1 && old.crc2 == row.crc2 && samePrintedContents(old, row));
            }
            if (!(sameSize && sameAtr && sameContents)) {
                const CheckRow& found = m_baseline[first];
                Finding changed = Finding::of(Finding::Changed, m_baseline.fullName(found));
                changed.size = !sameSize;
                changed.attributes = !sameAtr;
                changed.contents = !sameContents;
                m_report.add(withStates(std::move(changed), found, row));
            }
            return;
        }
        if (const qint64 from = movedFrom(row); from != ChainIndex::kNone) {
            const CheckRow& old = m_baseline[from];
            Finding moved = Finding::of(Finding::Moved, m_current.fullName(row));
            moved.from = m_baseline.fullName(old);
            moved.attributes = !sameAttributes(old, row);
            m_report.add(withStates(std::move(moved), old, row));
            return;
        }
        m_report.add(Finding::of(Finding::New, m_current.fullName(row)));
    }

    // The baseline row that row moved from: the first of its name and
    // checksums, and digest where both have one, whose place the scan left
    // empty (a copy whose original stays is new); kNone for none.
    qint64 movedFrom(const CheckRow& row)
    {
        // Made when the first file not at its place needs it: a check that
        // finds every file at its place spares it.
        if (!m_with)
            m_with.emplace(
                m_baseline.size(), [&](quint32 b) { return contentsHash(m_baseline, m_baseline[b]); },
                [&](quint32 a, quint32 b) { return sameNameAndSums(m_baseline, m_baseline[a], m_baseline, m_baseline[b]); });
        const qint64 first = m_with->find(contentsHash(m_current, row), [&](quint32 b) {
            return sameNameAndSums(m_baseline, m_baseline[b], m_current, row);
        });
        for (qint64 b = first; b != ChainIndex::kNone; b = m_with->next(b))
            if (samePrintedContents(m_baseline[b], row) && !m_present[std::size_t(b)])
                return b;
        return ChainIndex::kNone;
    }

    Finding withStates(Finding finding, const CheckRow& old, const CheckRow& now) const
    {
        finding.sizeBefore = old.size;
        finding.sizeAfter = now.size;
        if (const Fingerprint* print = m_baseline.print(old))
            finding.before = *print;
        if (const Fingerprint* print = m_current.print(now))
            finding.after = *print;
        return finding;
    }

    void tell()
    {
        if (++m_done % kTellEvery == 0)
            m_judged(m_done);
    }

    const CheckRows& m_baseline;
    const CheckRows& m_current;
    CheckReport& m_report;
    const std::function<void(qint64)>& m_judged;
    ChainIndex m_at;                 // the baseline rows of each place
    std::optional<ChainIndex> m_with; // the baseline rows of each name and checksums
    std::vector<bool> m_present;     // whether the scan has a file at a baseline row's place
    qint64 m_done = 0;
};

} // namespace

void JudgeInMemory(const CheckRows& baseline, const CheckRows& current, CheckReport& report,
                   const std::function<void(qint64 judged)>& judged)
{
    Judge(baseline, current, report, judged).run();
}
