#pragma once

#include "bits/file_checksums.h"
#include "scan/fingerprint.h"
#include "scan/not_examined.h"
#include "scan/pseudo_file_systems.h"
#include "scan/search_rec.h"

#include <QString>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

struct DirectoryEntry;

// The file-system half of a directory walk, run on a thread of its own so that
// listing directories and reading files for their checksums overlaps the
// database work of recording them. It walks depth first, in the order the file
// system returns entries, and hands over, in that order, every matching name
// (see ListDirectory) with both checksums and the fingerprint of what it is,
// and a mark for every directory entered, with the directory's own
// fingerprint. The caller
// records them on its own thread, so every statement still runs there, one
// after another, exactly as a walk without the thread would run them.
class FileWalker {
public:
    struct Step {
        QString dir;              // the directory that holds the file, or was entered
        TSearchRec entry;         // the file; empty for a directory mark
        FileSums sums{};          // both checksums of the file (0 for a name not read)
        Fingerprint print;        // what the name is, and the digest of what was read; of a mark, the directory
        std::exception_ptr error; // the file could not be read: the walk ends here
        bool entered = false;     // a mark that the walk entered dir
        // A mark of a directory that is there but could not be listed: the
        // walk did not enter it, and print says nothing.
        bool unexamined = false;
    };

    // Steps handed over and not yet taken, at the most, unless told otherwise:
    // enough to keep the database side busy.
    static constexpr std::size_t kDefaultAhead = 2048;

    // Starts walking dir for files whose lower-cased extension matches lowerList,
    // keeping out of the pseudo file systems mounted at that moment. The walk
    // waits while maxAhead steps are waiting to be taken.
    FileWalker(QString dir, QString lowerList, std::size_t maxAhead = kDefaultAhead);
    // Stops the walk where it is and waits for its thread.
    ~FileWalker();
    FileWalker(const FileWalker&) = delete;
    FileWalker& operator=(const FileWalker&) = delete;

    // The next step, waiting for it; false once the walk has ended.
    bool next(Step& step);

    // What the walk could not examine, in the order met; complete once next
    // has returned false.
    NotExaminedList notExamined();

private:
    struct Stopped {};
    void walk(const QString& dir);
    bool read(const QString& dir, DirectoryEntry& entry, Step& file);
    void note(const NotExaminedList& names);
    void hand(Step&& step); // raises Stopped once the caller has gone

    const QString m_lowerList;
    const std::size_t m_maxAhead;
    const PseudoFileSystems m_pseudo = PseudoFileSystems::mounted();
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Step> m_steps;  // handed over, not yet taken
    std::deque<Step> m_taken;  // taken by the caller (its thread only)
    NotExaminedList m_notExamined;
    bool m_producerWaiting = false;
    bool m_finished = false;
    bool m_stopping = false;
    std::thread m_thread;
};
