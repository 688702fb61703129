#pragma once

#include <QString>

// The user and password every connection gives. A server checks them, so
// Firebird's own ISC_USER and ISC_PASSWORD, when set, take the place of the
// built-in pair, which the embedded engine accepts unchecked.
struct FirebirdLogin {
    QString user;
    QString password;
};

FirebirdLogin LoginFromEnvironment();
