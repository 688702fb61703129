#pragma once

#include <QString>

// Why a finding is not the intruder's: the package whose install, upgrade or
// removal since the baseline made the change, by which rule (see
// ExplanationRules), and whether the file was checked against the archive's
// signature or only against the records on the host, which root can rewrite.
struct Explanation {
    QString package;
    QString architecture;
    QString from; // the version at the baseline; empty for a package installed since
    QString to;   // the version now; empty for a package removed since
    QString rule; // the key of its rule
    bool verified = false; // keyring → InRelease → Packages → .deb → the file

    bool operator==(const Explanation&) const = default;
};
