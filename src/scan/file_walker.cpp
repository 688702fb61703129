#include "scan/file_walker.h"

#include "scan/directory_entries.h"
#include "bits/file_access.h"
#include "common/shown_name.h"
#include "scan/ext_matches.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {
// A waiting caller is woken by the first step, and again should it still be
// waiting once this many have gathered.
constexpr std::size_t kWakeAfter = 64;
} // namespace

FileWalker::FileWalker(QString dir, QString lowerList, std::size_t maxAhead)
    : m_lowerList(std::move(lowerList)), m_maxAhead(std::max<std::size_t>(maxAhead, 1))
{
    m_thread = std::thread([this, dir = std::move(dir)] {
        try {
            walk(dir);
        } catch (const Stopped&) {
        } catch (...) {
            try {
                Step failed;
                failed.error = std::current_exception();
                hand(std::move(failed));
            } catch (const Stopped&) {
            }
        }
        std::lock_guard lock(m_mutex);
        m_finished = true;
        m_changed.notify_all();
    });
}

FileWalker::~FileWalker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_changed.notify_all();
    }
    m_thread.join();
}

bool FileWalker::next(Step& step)
{
    // Steps are taken over in batches, so that the two threads seldom need to
    // wake each other.
    if (m_taken.empty()) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_steps.empty() || m_finished; });
        if (m_steps.empty())
            return false;
        m_taken.swap(m_steps);
        if (m_producerWaiting)
            m_changed.notify_all();
    }
    step = std::move(m_taken.front());
    m_taken.pop_front();
    return true;
}

void FileWalker::hand(Step&& step)
{
    std::unique_lock lock(m_mutex);
    if (m_steps.size() >= m_maxAhead && !m_stopping) {
        m_producerWaiting = true;
        m_changed.wait(lock, [this] { return m_steps.size() < m_maxAhead || m_stopping; });
        m_producerWaiting = false;
    }
    if (m_stopping)
        throw Stopped{};
    m_steps.push_back(std::move(step));
    if (m_steps.size() == 1 || m_steps.size() == kWakeAfter)
        m_changed.notify_all();
}

NotExaminedList FileWalker::notExamined()
{
    std::lock_guard lock(m_mutex);
    return m_notExamined;
}

void FileWalker::note(const NotExaminedList& names)
{
    if (names.isEmpty())
        return;
    std::lock_guard lock(m_mutex);
    m_notExamined.append(names);
}

// Reads the checksums and digest of a file into file. A file may change while
// the walk goes on: one gone since it was listed is not there (false), one
// that is no longer a regular file is recorded as what it is now, unread.
// Only a file that is still one and cannot be read ends the walk.
bool FileWalker::read(const QString& dir, DirectoryEntry& entry, Step& file)
{
    try {
        file.sums = ReadEntryContents(dir, entry);
        return true;
    } catch (...) {
        DirectoryEntry now;
        const int error = ExamineEntry(dir, entry.rec.Name, now);
        if (error == ENOENT)
            return false;
        if (error == 0 && now.walkInto) // a directory now: walked the next time
            return false;
        if (error == 0 && !now.readContents) {
            entry = std::move(now);
            return true;
        }
        if (error != 0) { // its directory cannot be entered now, or its path is too long
            note({{ShownName(JoinPath(dir, entry.rec.Name)), NotExaminedReason(error)}});
            return false;
        }
        file.error = std::current_exception();
        hand(std::move(file));
        throw Stopped{}; // nothing after an unreadable file is recorded
    }
}

void FileWalker::walk(const QString& dir)
{
    // The entries are read in full before any of them is handled, so that a
    // deep tree does not hold one open directory per level.
    std::vector<DirectoryEntry> entries;
    NotExaminedList notExamined;
    ListedDirectory itself;
    const bool listed = ListDirectory(dir, m_pseudo, entries, &notExamined, &itself);
    note(notExamined);
    if (!itself.there)
        return;
    Step entered;
    entered.dir = dir;
    entered.entered = true;
    entered.unexamined = !itself.print;
    if (itself.print)
        entered.print = std::move(*itself.print);
    hand(std::move(entered));
    if (!listed)
        return;
    for (DirectoryEntry& entry : entries) {
        if (entry.walkInto) {
            walk(JoinPath(dir, entry.rec.Name));
        } else if (ExtMatches(FileExtension(entry.rec.Name).toLower(), m_lowerList)) {
            Step file;
            file.dir = dir;
            if (entry.readContents && !read(dir, entry, file))
                continue;
            file.entry = std::move(entry.rec);
            file.print = std::move(entry.print);
            hand(std::move(file));
        }
    }
}
