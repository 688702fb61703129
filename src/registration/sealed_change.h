#pragma once

#include "bits/seal_key.h"

#include <functional>

class TDM1;
class TIBQuery;

// Seals the database as it stands with key, in the open transaction: each
// registration's digest (see RegistrationDigest), signed, and the list of
// registrations, signed.
void SealDatabase(TIBQuery& query, const SealKey& key);

// Runs change, a command that changes what is under control, as every such
// command runs: first table2 is emptied of what an interrupted check left
// (a check writes nothing); on a sealed database key() gives the private key
// before anything changes (raising where there is none), and the database is
// sealed again after the change, in the same transaction.
void RunChange(TDM1& dm, const std::function<SealKey()>& key, const std::function<void()>& change);
