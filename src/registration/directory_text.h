#pragma once

#include <QString>

// The text under which a directory given on the command line is stored: made
// absolute against the working directory and cleaned ("." and ".." parts and
// repeated or trailing "/" removed, except for the root "/"), so that the
// console and the window's dialog give the same text for the same directory.
QString CleanDirectoryText(const QString& argument);
