#include "support/firebird_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRandomGenerator>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString kServerProgram = QStringLiteral("/usr/sbin/firebird");
const QString kIsql = QStringLiteral("/usr/bin/isql-fb");

// The installed root (plugins, intl, firebird.msg), which lives under the
// architecture's library directory.
QString installedRoot()
{
    for (const QString& entry : QDir(QStringLiteral("/usr/lib")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString root = QStringLiteral("/usr/lib/") + entry + QStringLiteral("/firebird/3.0");
        if (QFileInfo::exists(root + QStringLiteral("/firebird.msg")))
            return root;
    }
    return QString();
}

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port nobody listens on now; the kernel picks it.
int freePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

bool accepts(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(port);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

QString sqlText(const QString& text)
{
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

} // namespace

bool FirebirdServer::installed()
{
    return QFileInfo(kServerProgram).isExecutable() && QFileInfo(kIsql).isExecutable() && !installedRoot().isEmpty();
}

QString FirebirdServer::notInstalledMessage()
{
    return QStringLiteral("no Firebird server here: install Debian's firebird3.0-server (") + kServerProgram
        + QStringLiteral(") and firebird3.0-utils (") + kIsql + QStringLiteral(") to run this test");
}

FirebirdServer::~FirebirdServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // Firebird 3 stops on SIGTERM within a fraction of a second, but now and
    // then, soon after a database was used, its shutdown hangs for good; the
    // files it leaves are the fixture's own and go with the directory.
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString FirebirdServer::databaseName(const QString& file) const
{
    return QStringLiteral("127.0.0.1/") + QString::number(m_port) + u':' + dataDirectory() + u'/' + file;
}

QString FirebirdServer::start()
{
    if (!m_root.isValid())
        return QStringLiteral("cannot make a temporary directory");
    m_port = freePort();
    if (m_port == 0)
        return QStringLiteral("no free port on 127.0.0.1");
    m_password = QStringLiteral("k") + QString::number(QRandomGenerator::global()->generate64(), 36);
    QString error = writeConfiguration();
    if (error.isEmpty())
        error = createSecurityDatabase();
    if (!error.isEmpty())
        return error;

    m_process.setProcessEnvironment(engineEnvironment());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // A test that crashes takes its server with it.
    m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process.start(kServerProgram, {});
    if (!m_process.waitForStarted(10000))
        return QStringLiteral("cannot start ") + kServerProgram + QStringLiteral(": ") + m_process.errorString();
    return waitUntilListening();
}

// The server and the isql that makes its security database read the fixture's
// root and keep their locks in it.
QProcessEnvironment FirebirdServer::engineEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FIREBIRD"), m_root.path());
    environment.insert(QStringLiteral("FIREBIRD_LOCK"), m_root.path() + QStringLiteral("/lock"));
    environment.remove(QStringLiteral("ISC_USER"));
    environment.remove(QStringLiteral("ISC_PASSWORD"));
    return environment;
}

// Its own root: the configuration and security database are the fixture's,
// the rest links to the installed files.
QString FirebirdServer::writeConfiguration()
{
    const QString root = m_root.path();
    const QString installed = installedRoot();
    for (const QString& name : {QStringLiteral("plugins"), QStringLiteral("intl"), QStringLiteral("firebird.msg"),
                                QStringLiteral("plugins.conf")})
        if (QFileInfo::exists(installed + u'/' + name) && !QFile::link(installed + u'/' + name, root + u'/' + name))
            return QStringLiteral("cannot link ") + name + QStringLiteral(" into ") + root;
    if (!QDir().mkpath(root + QStringLiteral("/lock")) || !QDir().mkpath(dataDirectory()))
        return QStringLiteral("cannot make directories in ") + root;

    QFile conf(root + QStringLiteral("/firebird.conf"));
    if (!conf.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write ") + conf.fileName();
    conf.write(QStringLiteral("RemoteServicePort = %1\n"
                              "RemoteBindAddress = 127.0.0.1\n"
                              "ServerMode = Super\n"
                              "AuthServer = Srp\n"
                              "UserManager = Srp\n"
                              "SecurityDatabase = %2/security3.fdb\n")
                   .arg(m_port)
                   .arg(root)
                   .toUtf8());
    conf.close();
    QFile databases(root + QStringLiteral("/databases.conf"));
    if (!databases.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write ") + databases.fileName();
    return QString();
}

// Made through the embedded engine, which reads the fixture's firebird.conf and
// so keeps the new user in the new security database.
QString FirebirdServer::createSecurityDatabase()
{
    const QString root = m_root.path();
    QProcess isql;
    isql.setProcessEnvironment(engineEnvironment());
    isql.setProcessChannelMode(QProcess::MergedChannels);
    isql.start(kIsql, {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-user"), QStringLiteral("sysdba")});
    const QString script = QStringLiteral("create database ") + sqlText(root + QStringLiteral("/security3.fdb"))
        + QStringLiteral(";\ncreate user ") + user() + QStringLiteral(" password ") + sqlText(m_password)
        + QStringLiteral(" using plugin Srp;\ncommit;\n");
    isql.write(script.toUtf8());
    isql.closeWriteChannel();
    if (!isql.waitForFinished(60000) || isql.exitStatus() != QProcess::NormalExit || isql.exitCode() != 0)
        return QStringLiteral("cannot make the security database: ") + QString::fromLocal8Bit(isql.readAll());
    return QString();
}

QString FirebirdServer::waitUntilListening()
{
    const QDeadlineTimer deadline(30000);
    while (!accepts(m_port)) {
        if (m_process.waitForFinished(50))
            return QStringLiteral("the server ended before it listened on port ") + QString::number(m_port)
                + QStringLiteral(": ") + QString::fromLocal8Bit(m_process.readAll());
        if (deadline.hasExpired())
            return QStringLiteral("the server did not listen on port ") + QString::number(m_port)
                + QStringLiteral(" within 30 s");
    }
    return QString();
}
