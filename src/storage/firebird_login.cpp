#include "storage/firebird_login.h"

FirebirdLogin LoginFromEnvironment()
{
    FirebirdLogin login{QStringLiteral("sysdba"), QStringLiteral("qorvintex")};
    if (!qEnvironmentVariableIsEmpty("ISC_USER"))
        login.user = qEnvironmentVariable("ISC_USER");
    if (!qEnvironmentVariableIsEmpty("ISC_PASSWORD"))
        login.password = qEnvironmentVariable("ISC_PASSWORD");
    return login;
}
