#include "scan/file_walker.h"

#include "common/file_name_codec.h"
#include "common/shown_name.h"
#include "scan/ext_matches.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A waiting caller is woken once this many steps are ready, or once the walk
// is over: the threads then seldom need to wake each other.
constexpr std::size_t kWakeAfter = 64;
// ... and at the latest after this long, with what is ready by then, so that
// a large file does not hold up what is shown of the walk.
constexpr std::chrono::milliseconds kWaitAtMost{20};

// Besides the walking thread, which reads files too: one a core.
unsigned helpingThreads()
{
    return std::max(1u, std::thread::hardware_concurrency()) - 1;
}

// Files left waiting for the helping threads while the walking thread lists
// the next directory.
constexpr std::size_t kLeftToHelpers = 16;

// Directories held open, at the most, for files that wait to be read: past
// it the walking thread reads what waits before it lists more. The ones the
// walk is in are held besides, one a level.
constexpr int kHandlesAhead = 256;

// The helping threads use what the machine has to spare: the walking thread
// alone keeps the walk going as fast as it always went, and the caller's
// recording or judging of the walk, often the longer work, is never slowed
// by them.
void giveWay()
{
    constexpr int kNicer = 19;
    // Linux keeps a nice value per thread.
    const id_t thread = id_t(gettid());
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        setpriority(PRIO_PROCESS, thread, std::min(nice + kNicer, 19));
}

} // namespace

FileWalker::FileWalker(QString dir, QString lowerList, std::size_t maxAhead, const DirectoryHandle* in)
    : m_lowerList(std::move(lowerList)), m_maxAhead(std::max<std::size_t>(maxAhead, 1)),
      m_heldBefore(DirectoryHandle::openCount()), m_in(in ? *in : DirectoryHandle())
{
    for (unsigned i = helpingThreads(); i > 0; --i)
        m_readers.emplace_back([this] {
            giveWay();
            readFiles();
        });
    m_walk = std::thread([this, dir = std::move(dir)] {
        try {
            walk(m_in ? &m_in : nullptr, dir, NameOf(dir), true);
            std::unique_lock lock(m_mutex);
            while (readOne(lock))
                ;
        } catch (const Stopped&) {
        } catch (...) {
            try {
                Slot failed;
                failed.step.error = std::current_exception();
                failed.ready = true;
                push(std::move(failed));
            } catch (const Stopped&) {
            }
        }
        std::lock_guard lock(m_mutex);
        m_walked = true;
        m_forCaller.notify_all();
        m_forReaders.notify_all();
    });
}

FileWalker::~FileWalker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_forCaller.notify_all();
        m_forWalk.notify_all();
        m_forReaders.notify_all();
    }
    m_walk.join();
    for (std::thread& reader : m_readers)
        reader.join();
}

bool FileWalker::next(Step& step)
{
    return take(step, true);
}

bool FileWalker::tryNext(Step& step)
{
    return take(step, false);
}

std::size_t FileWalker::readyAhead() const
{
    std::size_t count = 0;
    for (auto slot = m_slots.begin(); slot != m_slots.end() && slot->ready && count < kWakeAfter; ++slot)
        ++count;
    return count;
}

bool FileWalker::callerMayGo() const
{
    return readyAhead() >= m_callerWants || (m_walked && m_unready == 0);
}

bool FileWalker::take(Step& step, bool wait)
{
    while (!m_ended) {
        if (m_taken.empty()) {
            std::unique_lock lock(m_mutex);
            if (wait) {
                // A batch, or what is ready once the wait has been long; at
                // the walk's end, whatever is left.
                m_callerWants = kWakeAfter;
                if (!callerMayGo() && !m_forCaller.wait_for(lock, kWaitAtMost, [this] { return callerMayGo(); })) {
                    m_callerWants = 1;
                    m_forCaller.wait(lock, [this] { return callerMayGo(); });
                }
                m_callerWants = 0;
            }
            if (m_unready == 0) { // all of them, at once: nothing waits to be read
                m_taken.swap(m_slots);
            } else {
                while (m_slots.front().ready) {
                    m_taken.push_back(std::move(m_slots.front()));
                    m_slots.pop_front();
                }
            }
            if (m_taken.empty()) {
                m_ended = m_walked && m_slots.empty();
                return false;
            }
            if (m_walkWaiting)
                m_forWalk.notify_all();
        }
        Slot slot = std::move(m_taken.front());
        m_taken.pop_front();
        m_notExamined.append(slot.notExamined);
        if (!slot.handed)
            continue;
        step = std::move(slot.step);
        if (step.error) // nothing after the walk broke down is handed over
            m_ended = true;
        return true;
    }
    return false;
}

void FileWalker::push(Slot&& slot)
{
    std::unique_lock lock(m_mutex);
    // Too far ahead, or too many directories held open for the files that
    // wait: those are read meanwhile, the first first.
    while ((m_slots.size() >= m_maxAhead || DirectoryHandle::openCount() > m_heldBefore + kHandlesAhead)
           && !m_stopping && !readOne(lock)) {
        if (m_slots.size() < m_maxAhead)
            break; // nothing waits to be read: the handles are the walk's own
        m_walkWaiting = true;
        m_forWalk.wait(lock, [this] { return m_slots.size() < m_maxAhead || m_stopping || !m_toRead.empty(); });
        m_walkWaiting = false;
    }
    if (m_stopping)
        throw Stopped{};
    m_slots.push_back(std::move(slot));
    if (!m_slots.back().ready) {
        ++m_unready;
        m_toRead.push_back(&m_slots.back());
        m_forReaders.notify_one();
    } else if (m_callerWants && callerMayGo()) {
        m_forCaller.notify_all();
    }
}

bool FileWalker::readOne(std::unique_lock<std::mutex>& lock)
{
    if (m_toRead.empty() || m_stopping)
        return false;
    Slot* slot = m_toRead.front();
    m_toRead.pop_front();
    lock.unlock();
    read(*slot);
    lock.lock();
    ready(*slot);
    return true;
}

void FileWalker::helpRead()
{
    std::unique_lock lock(m_mutex);
    while (m_toRead.size() > kLeftToHelpers && readOne(lock))
        ;
}

void FileWalker::ready(Slot& slot)
{
    slot.ready = true;
    --m_unready;
    if (m_callerWants && callerMayGo())
        m_forCaller.notify_all();
}

NotExaminedList FileWalker::notExamined()
{
    return m_notExamined;
}

void FileWalker::readFiles()
{
    std::unique_lock lock(m_mutex);
    do
        m_forReaders.wait(lock, [this] { return !m_toRead.empty() || m_walked || m_stopping; });
    while (readOne(lock));
}

// Reads the checksums and digest of a slot's file, through the directory
// that listed it. A file may change while the walk goes on: one gone since it
// was listed is not there, one that is no longer a regular file is recorded
// as what it is now, unread (a link as a link), one that is a directory now
// is left to the next walk. One that cannot be opened or read is named, with
// why, among what was not examined.
void FileWalker::read(Slot& slot)
{
    Step& file = slot.step;
    DirectoryEntry& entry = slot.entry;
    const DirectoryHandle in = std::move(slot.in);
    if (const int error = ReadEntryContents(in, entry, file.sums)) {
        DirectoryEntry now;
        const int again = ExamineEntry(in, entry.rec.Name, now);
        if (again == ENOENT || (again == 0 && now.walkInto)) {
            slot.handed = false;
            return;
        }
        if (again != 0 || now.readContents) {
            slot.notExamined = {{ShownName(JoinPath(file.dir, entry.rec.Name)), NotExaminedReason(again ? again : error)}};
            slot.handed = false;
            return;
        }
        entry = std::move(now);
        file.sums = {0, 0};
    }
    file.entry = std::move(entry.rec);
    file.print = std::move(entry.print);
}

bool FileWalker::walk(const DirectoryHandle* parent, const QString& dir, const QString& name, bool root)
{
    Slot entered;
    DirectoryHandle here;
    struct stat self {};
    const int error = PathTooLong(dir) ? ENAMETOOLONG
        : parent                       ? parent->openSubdirectory(EncodeFileName(name).constData(), here, self)
                                       : DirectoryHandle::open(dir, here, self);
    if (error == ELOOP || error == ENOTDIR) {
        // Something else than a directory by now (a link, a file): judged as
        // what it is, never followed; a name of a directory by its parent.
        DirectoryEntry now;
        if (root && (parent ? ExamineEntry(*parent, name, now) : ExaminePath(dir, now)) == 0 && !now.walkInto) {
            entered.step.dir = dir;
            entered.step.entered = true;
            entered.step.print = std::move(now.print);
            entered.ready = true;
            push(std::move(entered));
        }
        return false;
    }
    if (error != 0) {
        // Gone since its parent was listed, or never there: nothing to see.
        // One that may not be entered is there, and named; of one whose path
        // is too long nothing is known.
        if (error == ENOENT)
            return true;
        entered.notExamined = {{ShownName(dir), NotExaminedReason(error)}};
        if (error != ENAMETOOLONG) {
            entered.step.dir = dir;
            entered.step.entered = true;
            entered.step.unexamined = true;
        } else {
            entered.handed = false;
        }
        entered.ready = true;
        push(std::move(entered));
        return true;
    }
    if (m_pseudo.contains(self.st_dev))
        return true;
    // The entries are read in full before any of them is handled; the
    // directory stays open while the walk is below it and while files
    // listed from it wait to be read.
    std::vector<DirectoryEntry> entries;
    const bool listed = ListDirectory(here, dir, m_pseudo, entries, &entered.notExamined);
    entered.step.dir = dir;
    entered.step.entered = true;
    entered.step.print = DirectoryFingerprint(here, self);
    entered.ready = true;
    push(std::move(entered));
    if (!listed)
        return true;
    for (DirectoryEntry& entry : entries) {
        if (entry.walkInto && walk(&here, JoinPath(dir, entry.rec.Name), entry.rec.Name))
            continue;
        if (ExtMatches(FileExtension(entry.rec.Name).toLower(), m_lowerList)) {
            const QString entryName = entry.rec.Name;
            const bool tooLong = PathTooLong(dir, entryName);
            if (tooLong || entry.walkInto || !entry.readContents) {
                const int examined = tooLong ? ENAMETOOLONG : ExamineEntry(here, entryName, entry);
                if (examined == ENOENT || (examined == 0 && entry.walkInto))
                    continue; // gone, or a directory now: the next walk's
                if (examined != 0) {
                    Slot unseen;
                    unseen.notExamined = {{ShownName(JoinPath(dir, entryName)), NotExaminedReason(examined)}};
                    unseen.handed = false;
                    unseen.ready = true;
                    push(std::move(unseen));
                    continue;
                }
            }
            handOverName(here, dir, std::move(entry));
        }
    }
    helpRead();
    return true;
}

// Hands over a name of in, dir: a regular file once it is read, any other
// name as it was described.
void FileWalker::handOverName(const DirectoryHandle& in, const QString& dir, DirectoryEntry&& entry)
{
    Slot file;
    file.step.dir = dir;
    if (entry.readContents) {
        file.entry = std::move(entry);
        file.in = in;
    } else {
        file.step.entry = std::move(entry.rec);
        file.step.print = std::move(entry.print);
        file.ready = true;
    }
    push(std::move(file));
}
