#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

// A Firebird server of the test's own: Debian's /usr/sbin/firebird with a root
// directory, configuration, security database and lock directory of its own,
// listening on 127.0.0.1 at a port that was free when it started. The system's
// Firebird service and other tests' engines never see it. Stopped (SIGTERM,
// then waited for; killed when that hangs) with the object.
class FirebirdServer {
public:
    // Whether the server program (package firebird3.0-server) is installed.
    static bool installed();
    static QString notInstalledMessage();

    FirebirdServer() = default;
    ~FirebirdServer();
    FirebirdServer(const FirebirdServer&) = delete;
    FirebirdServer& operator=(const FirebirdServer&) = delete;

    // Sets the server up, starts it and waits until its port takes connections.
    // Returns what went wrong, or an empty text.
    QString start();

    int port() const { return m_port; }
    QString user() const { return QStringLiteral("SYSDBA"); }
    QString password() const { return m_password; }
    // Where the server may create databases.
    QString dataDirectory() const { return m_root.path() + QStringLiteral("/data"); }
    // The server's name for a database file in the data directory:
    // "127.0.0.1/PORT:/path/file".
    QString databaseName(const QString& file) const;

private:
    QProcessEnvironment engineEnvironment() const;
    QString writeConfiguration();
    QString createSecurityDatabase();
    QString waitUntilListening();

    QTemporaryDir m_root;
    QProcess m_process;
    int m_port = 0;
    QString m_password;
};
