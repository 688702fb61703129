#pragma once

#include <QByteArray>
#include <QString>

// The passphrase of a private key: $KVAREN_KEY_PASSPHRASE where it is set
// (for scripts), else asked on the terminal without echo, twice when a new
// key is made. Raises Exception when there is neither, or the two differ.
QByteArray KeyPassphrase(const QString& prompt, bool twice);
