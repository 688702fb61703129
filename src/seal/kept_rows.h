#pragma once

#include "bits/sha256_accumulator.h"

#include <QSet>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class CheckRows;
class TIBQuery;
struct Registration;

// The rows of the registrations a change of a few named files verified, kept
// from the verification so that their digests after the change are made
// without reading every row again: the rows the change deleted (it tells
// which, see TellRowsDeleted) are left out, and those the transaction wrote
// are read and put in. Rows are never changed in place, only deleted and
// written anew.
//
// Counts taken before and after the change make sure that nothing it did not
// tell changed the rows: where anything is amiss, and where the rows were not
// kept, the registration is read again whole.
class KeptRows {
public:
    KeptRows();
    ~KeptRows();
    KeptRows(const KeptRows&) = delete;
    KeptRows& operator=(const KeptRows&) = delete;

    // Reads the registration's rows as ReadBaselineRows does, and keeps them.
    const CheckRows& read(TIBQuery& query, const Registration& registration);
    // The registration's digest (see RegistrationDigest) as the change left
    // it, made from its kept rows; none where it is to be read whole.
    std::optional<Sha256Digest> digestAfter(TIBQuery& query, const Registration& registration, int fieldSet);

    // Takes what changes tell while it lives (see TellRowsDeleted).
    class Listening {
    public:
        explicit Listening(KeptRows& rows);
        ~Listening();
        Listening(const Listening&) = delete;
        Listening& operator=(const Listening&) = delete;
    };

private:
    struct Kept;
    friend void TellRowsDeleted(qint32 registration, const std::vector<qint32>& ids);
    friend const CheckRows* KeptBaseline(qint32 registration);
    std::map<qint32, std::unique_ptr<Kept>> m_kept;
};

// Tells the change's KeptRows, where one is listening, the ids of the
// registration's file rows the change deleted.
void TellRowsDeleted(qint32 registration, const std::vector<qint32>& ids);

// The registration's rows as the listening KeptRows read them (see
// ReadBaselineRows), while the change has told it nothing of them: a change
// picks what it needs from them rather than reading them again. None where
// no KeptRows listens or it kept none of them.
const CheckRows* KeptBaseline(qint32 registration);
