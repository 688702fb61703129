#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

struct CheckReport;
struct Finding;

// The report of a check of dir as one JSON document, for programs to read:
//   {"directory": dir,
//    "deleted": [full name, ...],
//    "moved":   [{"from": old full name, "to": new full name, "attributes": bool,
//                 "before": state, "after": state}, ...],
//    "new":     [full name, ...],
//    "changed": [{"file": full name, "size": bool, "attributes": bool, "contents": bool,
//                 "before": state, "after": state}, ...]}
// Each list in the order of the text report; a moved file whose attributes
// changed stands among the changed ones too. Names, and a link's text, are
// given as JsonName gives them. A state is what the file was as
// recorded and is as found: {"size": n} and, where both rows have a
// fingerprint, "type" ("file", "link", "fifo"...), "mode" (octal, "0755"),
// "uid", "user", "gid", "group" (names null where the system has none),
// "link" (the link's text, or null) and "sha256" (hex, or null for a name not
// read), and what else the fingerprint knows (see FingerprintFields). A
// finding without states (the reference judge's) has none.
// With explained (the findings were explained, see ExplainFindings), every
// entry is an object and has "explanation": {"package", "architecture",
// "from", "to", "rule", "verified"} or null; a deleted or new file's is
// {"path": full name, "explanation": ...} ("type": "directory" too for a
// directory).
QByteArray ReportJson(const QString& dir, const CheckReport& report, bool explained = false);
// The same document as an object, to stand inside another.
QJsonObject ReportJsonObject(const QString& dir, const CheckReport& report, bool explained = false);

// The entries a finding gives the document, each with the name of its list:
// one, or for a moved file whose attributes changed, two.
QList<std::pair<QString, QJsonValue>> FindingJsonEntries(const Finding& finding);
QList<std::pair<QString, QJsonValue>> FindingJsonEntries(const Finding& finding, bool explained);
