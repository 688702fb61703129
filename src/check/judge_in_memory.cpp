#include "check/judge_in_memory.h"

#include "check/check_report.h"
#include "scan/directory_entries.h"

#include <QHash>

#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// A file's place: its directory and name (the statements' "File_name=... and
// full_path=...").
struct Place {
    QString path;
    QString name;
    bool operator==(const Place&) const = default;
};

// What a moved file is known by: its name and both checksums (the moved-file
// statement; that its row lies in the directory under check the baseline read
// has settled).
struct Contents {
    QString name;
    qint32 crc1;
    qint32 crc2;
    bool operator==(const Contents&) const = default;
};

struct PlaceHash {
    std::size_t operator()(const Place& place) const { return qHashMulti(0, place.path, place.name); }
};
struct ContentsHash {
    std::size_t operator()(const Contents& contents) const
    {
        return qHashMulti(0, contents.name, contents.crc1, contents.crc2);
    }
};

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

constexpr qint64 kTellEvery = 256;

// Fingerprints are compared where both rows have one: a baseline row written
// before they were kept is judged by its own columns alone.
bool sameAttributes(const CheckRow& old, const CheckRow& now)
{
    return !old.print || !now.print || old.print->sameAttributes(*now.print);
}

bool sameDigest(const CheckRow& old, const CheckRow& now)
{
    return !old.print || !now.print || old.print->sha256 == now.print->sha256;
}

Finding withStates(Finding finding, const CheckRow& old, const CheckRow& now)
{
    finding.sizeBefore = old.size;
    finding.sizeAfter = now.size;
    finding.before = old.print;
    finding.after = now.print;
    return finding;
}

// The baseline row that row moved from: the first of its name and checksums,
// and digest where both have one, whose place the scan left empty (a copy
// whose original stays is new); -1 for none.
template<typename With>
qsizetype movedFrom(const CheckRow& row, const QList<CheckRow>& baseline, const With& with,
                    const std::vector<qsizetype>& nextWith,
                    const std::unordered_set<Place, PlaceHash>& present)
{
    const auto chain = with.find(Contents{row.name, row.crc1, row.crc2});
    if (chain == with.end())
        return -1;
    for (qsizetype i = chain->second.first; i >= 0; i = nextWith[std::size_t(i)]) {
        const CheckRow& old = baseline[i];
        if (sameDigest(old, row) && !present.contains(Place{old.path, old.name}))
            return i;
    }
    return -1;
}

} // namespace

void JudgeInMemory(const QList<CheckRow>& baseline, const QList<CheckRow>& current, CheckReport& report,
                   const std::function<void(qint64 judged)>& judged)
{
    qint64 done = 0;
    auto tell = [&] {
        if (++done % kTellEvery == 0)
            judged(done);
    };

    // Pass 1: a baseline row is deleted when no current row has its name and
    // place; duplicate rows of a place registered twice are judged each.
    std::unordered_set<Place, PlaceHash> present;
    present.reserve(std::size_t(current.size()));
    for (const CheckRow& row : current)
        present.insert(Place{row.path, row.name});
    for (const CheckRow& row : baseline) {
        if (!present.contains(Place{row.path, row.name}))
            report.add(Finding::of(Finding::Deleted, JoinPath(row.path, row.name)));
        tell();
    }

    // The baseline rows of each place, first to last, chained through next;
    // and those of each name and checksums, chained through nextWith, first
    // to last as the moved-file statement returns them.
    struct Chain {
        qsizetype first;
        qsizetype last;
    };
    std::unordered_map<Place, Chain, PlaceHash> at;
    std::vector<qsizetype> next(std::size_t(baseline.size()), -1);
    at.reserve(std::size_t(baseline.size()));
    for (qsizetype i = 0; i < baseline.size(); ++i) {
        const CheckRow& row = baseline[i];
        auto [chain, added] = at.try_emplace(Place{row.path, row.name}, Chain{i, i});
        if (!added) {
            next[std::size_t(chain->second.last)] = i;
            chain->second.last = i;
        }
    }
    // Made when the first file not at its place needs it: a check that finds
    // every file at its place spares it.
    std::unordered_map<Contents, Chain, ContentsHash> with;
    std::vector<qsizetype> nextWith;
    auto candidates = [&]() -> const std::unordered_map<Contents, Chain, ContentsHash>& {
        if (nextWith.empty() && !baseline.isEmpty()) {
            nextWith.assign(std::size_t(baseline.size()), -1);
            with.reserve(std::size_t(baseline.size()));
            for (qsizetype i = 0; i < baseline.size(); ++i) {
                auto [chain, added] =
                    with.try_emplace(Contents{baseline[i].name, baseline[i].crc1, baseline[i].crc2}, Chain{i, i});
                if (!added) {
                    nextWith[std::size_t(chain->second.last)] = i;
                    chain->second.last = i;
                }
            }
        }
        return with;
    };

    // Pass 2.
    for (const CheckRow& row : current) {
        const auto place = at.find(Place{row.path, row.name});
        if (place != at.end()) {
            // At its place. A change is reported when no baseline row of the
            // place agrees (the count statements count them all).
            bool sameSize = false;
            bool sameAtr = false;
            bool sameContents = false;
            for (qsizetype i = place->second.first; i >= 0; i = next[std::size_t(i)]) {
                const CheckRow& old = baseline[i];
                sameSize = sameSize || old.size == row.size;
                sameAtr = sameAtr || (sameText(old.atr, row.atr) && sameAttributes(old, row));
                sameContents = sameContents || (old.crc1 == row.crc1 && old.crc2 == row.crc2 && sameDigest(old, row));
            }
            if (!(sameSize && sameAtr && sameContents)) {
                const CheckRow& found = baseline[place->second.first];
                Finding changed = Finding::of(Finding::Changed, JoinPath(found.path, found.name));
                changed.size = !sameSize;
                changed.attributes = !sameAtr;
                changed.contents = !sameContents;
                report.add(withStates(std::move(changed), found, row));
            }
        } else if (const qsizetype from = movedFrom(row, baseline, candidates(), nextWith, present); from >= 0) {
            const CheckRow& old = baseline[from];
            Finding moved = Finding::of(Finding::Moved, JoinPath(row.path, row.name));
            moved.from = JoinPath(old.path, old.name);
            moved.attributes = !sameText(old.atr, row.atr) || !sameAttributes(old, row);
            report.add(withStates(std::move(moved), old, row));
        } else {
            report.add(Finding::of(Finding::New, JoinPath(row.path, row.name)));
        }
        tell();
    }
    judged(done);
}
