#pragma once

#include <QString>

class Statement;

// Appends the condition that picks a directory's file rows: those whose
// full_path is the directory itself or lies below it, compared with letter case
// as Linux file names are. For "/" that is every row whose full_path begins with
// "/"; otherwise full_path equals dir or begins with dir followed by "/", so that
// /x/data takes in /x/data/sub but neither /x/data2 nor /y/x/data.
// Every selection of a directory's rows (removing it, checking it, finding a
// moved file inside it) uses this one condition.
Statement& AppendDirectoryRows(Statement& statement, const QString& dir);

// The same condition on a path in memory, for judging rows already read: true
// when path is dir itself or lies below it, compared as AppendDirectoryRows
// compares (the texts' UTF-8 bytes, which order and match as the texts do).
bool InDirectory(const QString& path, const QString& dir);
