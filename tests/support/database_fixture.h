#pragma once

#include "check/report_text.h"
#include "storage/dm1.h"
#include "support/temp_tree.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

// The four lists of a check, and the bits of what it found.
struct Checked : ReportLists {
    int bits = 0;
    int foundBits() const { return bits; }
};

// A fresh database, DM1 connected to it and a tree, for the tests that record
// trees: most put the tree's directory d (or another) under control, change
// it and check it.
class DatabaseFixture : public ::testing::Test {
protected:
    void SetUp() override;

    // The tree's directory d.
    QString dir() const { return tree.path(QStringLiteral("d")); }
    // Writes d/relative with contents and then mode (a read-only file is made
    // writable first, so that a user may rewrite it too); its absolute path.
    QString file(const QString& relative, const QByteArray& contents, int mode = 0644);
    // The four lists of RunCheck(checked), dir() when empty, with checked's path
    // and "/" cut from every line, in the order judged. A check writes
    // nothing, to table2 neither.
    Checked check(const QString& checked = QString());
    static QStringList sorted(QStringList list);
    // Each registration as "id dir list", in the directory list's order.
    QStringList registrations();

    TempDatabase database;
    TDM1 dm;
    TempTree tree;
};
