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

// Makes path a file that cannot be read: without permissions for a user; for
// root, who reads whatever the permissions say, a link to a write-only kernel
// attribute, which no one can open for reading. Returns false if there is none.
bool MakeUnreadableFile(const QString& path);
