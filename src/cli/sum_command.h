#pragma once

#include <QStringList>
#include <QTextStream>

// kvaren-cli sum FILE...: writes one line per file to out, "<FileCrc16>
// <FileXor32> <SHA-256> <name>" (both checksums signed decimal, the digest in
// sha256sum's hex, the name as given). A file that
// fails gets its error text on err instead, and the others are still summed.
// Returns kExitFailure when any file failed, else kExitSuccess.
int runSum(const QStringList& files, QTextStream& out, QTextStream& err);
