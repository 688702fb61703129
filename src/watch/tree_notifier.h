#pragma once

#include "check/judge_names.h"
#include "scan/directory_handle.h"
#include "scan/pseudo_file_systems.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;

// The kernel's notifications (inotify) of changes to the names in directory
// trees, read as they come from the event loop. Every directory of a tree
// watched has a watch of its own, and a directory that appears in one is
// watched at once; one that goes, or moves away, is no longer. Links are not
// followed, and the pseudo file systems are left out, as a walk leaves them.
class TreeNotifier : public QObject {
    Q_OBJECT
public:
    // Raises Exception when the kernel gives no notifications.
    explicit TreeNotifier(QObject* parent = nullptr);
    ~TreeNotifier() override;

    // Watches dir and every directory below it. A directory that cannot be
    // watched for the watch limit is told of by refused, and nothing more of
    // that tree is watched; one that may not be read is left unwatched (a
    // check names it as not examined).
    void watchTree(const QString& dir);
    // The directories watched.
    qsizetype watchCount() const { return m_paths.size(); }

signals:
    // A name changed: a file, or a directory's attributes, or a directory
    // with all it holds (it appeared, went or moved).
    void changed(const JudgedName& name);
    // The kernel dropped notifications: any change may have gone unseen.
    void overflowed();
    // dir is not watched, and changes in it go unseen, for the reason given.
    void refused(const QString& dir, const QString& reason);

private:
    void readEvents();
    // Watches dir and what is below it; false once the watch limit is met.
    bool watchDirectory(const QString& dir);
    bool watchDirectory(const DirectoryHandle& opened, const struct stat& status, const QString& dir);
    void forgetBelow(const QString& dir);

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    const PseudoFileSystems m_pseudo = PseudoFileSystems::mounted();
    QHash<int, QString> m_paths; // each watch's directory
    QHash<QString, int> m_watches;
    QStringList m_roots; // the trees watched
};

// Why a directory cannot be watched when the watch limit is met, with the
// limit and how to raise it.
QString WatchLimitReason();
