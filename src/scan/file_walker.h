#pragma once

#include "bits/file_checksums.h"
#include "scan/directory_entries.h"
#include "scan/directory_handle.h"
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
#include <vector>

// The file-system half of a directory walk, run on threads of its own so that
// listing directories and reading files for their checksums overlaps the
// database work of recording them. One thread walks depth first, in the order
// the file system returns entries, and reads the files it meets; helping
// threads, one for each further core, read them too, several files at once,
// with what the machine has to spare. Every matching
// name (see ListDirectory) is handed over, in the walk's order whatever order
// the reads end in, with both checksums and the fingerprint of what it is,
// and so is a mark for every directory entered, with the directory's own
// fingerprint. The caller records them on its own thread, so every statement
// still runs there, one after another, exactly as a walk without the threads
// would run them.
class FileWalker {
public:
    struct Step {
        QString dir;              // the directory that holds the file, or was entered
        TSearchRec entry;         // the file; empty for a directory mark
        FileSums sums{};          // both checksums of the file (0 for a name not read)
        Fingerprint print;        // what the name is, and the digest of what was read; of a mark, the directory
        std::exception_ptr error; // the walk broke down here, and ends
        // A mark that the walk entered dir. The first step, of the directory
        // walked itself, is one too when that is no directory now (a link, a
        // file...): print then says what it is, and nothing else follows.
        bool entered = false;
        // A mark of a directory that is there but could not be listed: the
        // walk did not enter it, and print says nothing.
        bool unexamined = false;
    };

    // Steps handed over and not yet taken, at the most, unless told otherwise:
    // enough to keep the database side busy.
    static constexpr std::size_t kDefaultAhead = 2048;

    // Starts walking dir for files whose lower-cased extension matches lowerList,
    // keeping out of the pseudo file systems mounted at that moment. The walk
    // waits while maxAhead steps are waiting to be taken. Every name is
    // opened through the directory that listed it (see DirectoryHandle), dir
    // itself without following a link at its last name. A file that cannot
    // be read, or that changed between listing and reading, is handled as
    // read() says: nothing one file does ends the walk.
    // Where in is given, dir is a name in that open directory, and opened
    // through it.
    FileWalker(QString dir, QString lowerList, std::size_t maxAhead = kDefaultAhead, const DirectoryHandle* in = nullptr);
    // Stops the walk where it is and waits for its thread.
    ~FileWalker();
    FileWalker(const FileWalker&) = delete;
    FileWalker& operator=(const FileWalker&) = delete;

    // The next step, waiting for it; false once the walk has ended.
    bool next(Step& step);
    // The next step if one is ready now; false when none is, or the walk has
    // ended.
    bool tryNext(Step& step);

    // What the walk could not examine, in the order met; complete once next
    // has returned false.
    NotExaminedList notExamined();

private:
    struct Stopped {};
    // A step in the walk's order: made by the walking thread, and ready at
    // once or once a reading thread has read its file.
    struct Slot {
        Step step;
        DirectoryEntry entry;        // the file to read, while it waits
        DirectoryHandle in;          // its directory, until it is read
        NotExaminedList notExamined; // met at this point of the walk
        bool handed = true;          // false: nothing to hand over (a file gone meanwhile)
        bool ready = false;
    };
    // Walks dir, the name in parent (none: dir is opened by its path); false
    // when that is no directory now, and was not walked. The directory the
    // walk began with (root) is marked as what it is then.
    bool walk(const DirectoryHandle* parent, const QString& dir, const QString& name, bool root = false);
    void handOverName(const DirectoryHandle& in, const QString& dir, DirectoryEntry&& entry);
    void readFiles();
    void read(Slot& slot);
    void push(Slot&& slot); // raises Stopped once the caller has gone
    bool readOne(std::unique_lock<std::mutex>& lock); // the first file waiting; false for none
    void helpRead();
    void ready(Slot& slot); // with the lock held
    std::size_t readyAhead() const;
    bool callerMayGo() const;
    bool take(Step& step, bool wait);

    const QString m_lowerList;
    const std::size_t m_maxAhead;
    const int m_heldBefore; // directory handles open before the walk
    const DirectoryHandle m_in;
    const PseudoFileSystems m_pseudo = PseudoFileSystems::mounted();
    std::mutex m_mutex;
    std::condition_variable m_forCaller;
    std::condition_variable m_forWalk;
    std::condition_variable m_forReaders;
    std::deque<Slot> m_slots;    // made, not yet taken, in the walk's order
    std::deque<Slot*> m_toRead;  // the slots whose files wait to be read
    std::deque<Slot> m_taken;    // taken by the caller (its thread only)
    NotExaminedList m_notExamined; // the caller's thread only
    std::size_t m_callerWants = 0; // steps ready that wake the waiting caller; 0 while it does not wait
    std::size_t m_unready = 0;     // slots whose files are not read yet
    bool m_walkWaiting = false;
    bool m_walked = false;       // the walking thread has made its last slot
    bool m_stopping = false;
    bool m_ended = false;        // the caller's thread only
    std::thread m_walk;
    std::vector<std::thread> m_readers;
};
