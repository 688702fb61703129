#pragma once

#include "check/check_report.h"

#include <QList>
#include <QSet>
#include <QString>

class Progress;
class TDM1;
struct Registration;

// A name of a registration's tree to judge alone: a file (or any name that
// is not a directory) at path; a directory's own attributes; or a directory
// with everything below it (one that appeared, went, or moved, whose
// contents came or went without a word about each of them).
struct JudgedName {
    enum Scope { File, Directory, Tree };
    QString path;
    Scope scope = File;

    bool operator==(const JudgedName&) const = default;
};

// What a check of the registration would find of those names, and of nothing
// else: the same judges (JudgeDirectories, JudgeInMemory) run over the
// baseline rows of the names and what is on disk at them now. A file at a
// name judged is moved when a check would say so: the baseline's rows of its
// name elsewhere in the tree, and what stands at their places now, are read
// to tell a move from a copy. Names outside the registration's directory,
// and files of types it does not record, are left out. What a tree's walk
// could not examine is listed as a check lists it. A check's seal is not
// verified here. Reads, never writes; raises what a check raises (a
// statement's error) and, through progress, a stop; a file that cannot be
// read is listed among what could not be examined.
CheckReport JudgeNames(TDM1& dm, const Registration& registration, const QList<JudgedName>& names,
                       Progress* progress = nullptr);

// The names judged, to tell whether a finding is about one of them.
class CoveredNames {
public:
    explicit CoveredNames(const QList<JudgedName>& names);
    // Whether a finding's full name (a directory's ends in "/") is one of
    // the names or lies in one of their trees.
    bool covers(const QString& fullName) const;

private:
    QSet<QString> m_names; // full names of the files and directories
    QSet<QString> m_trees;
};
