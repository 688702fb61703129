#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "qt_printers.h"

// A directory tree on disk for a test, removed with the object.
class TempTree {
public:
    TempTree();

    // The absolute path of the tree's root, without a trailing "/".
    QString path() const { return m_dir.path(); }
    QString path(const QString& relative) const { return m_dir.path() + u'/' + relative; }

    // Writes a file (parent directories created) and returns its absolute path.
    QString file(const QString& relative, const QByteArray& content = QByteArray());
    // Creates a directory (and its parents) and returns its absolute path.
    QString dir(const QString& relative);

private:
    QTemporaryDir m_dir;
};

// Makes, below dir, a chain of directories whose path grows past the 4,096
// bytes a path may have, made one level at a time by descriptor; returns the
// depth reached. Qt cannot remove such a tree: "rm -rf" can.
int MakeTooLongPath(const QString& dir);

// A fresh file.gdb in its own temporary directory, made by the program's own
// CreateDatabaseFile; the working directory is switched to it for the test's
// life, since every front end opens "file.gdb" there.
class TempDatabase {
public:
    TempDatabase();
    ~TempDatabase();

    QString directory() const { return m_dir.path(); }
    QString file() const { return m_dir.path() + QStringLiteral("/file.gdb"); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Makes path a file without permissions, which its owner cannot read unless he
// may read whatever the permissions say, as root may (see
// WithoutOverridingPermissions). Returns false if it cannot be made.
bool MakeUnreadableFile(const QString& path);

// Takes from the calling thread, and from the threads it starts while this
// lives, root's power to read and search whatever the permissions say, so
// that a file without permissions cannot be read by root either. Nothing for
// another user.
class WithoutOverridingPermissions {
public:
    WithoutOverridingPermissions();
    ~WithoutOverridingPermissions();
    WithoutOverridingPermissions(const WithoutOverridingPermissions&) = delete;
    WithoutOverridingPermissions& operator=(const WithoutOverridingPermissions&) = delete;

    // Whether the permissions now hold for this thread.
    bool holds() const { return m_holds; }

private:
    bool set(bool on);
    bool m_holds = false;
};
