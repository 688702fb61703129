#include "support/package_tree.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <stdexcept>

QByteArray RunProgram(const QString& program, const QStringList& arguments, const QString& gnupgHome)
{
    QProcess process;
    if (!gnupgHome.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("GNUPGHOME"), gnupgHome);
        process.setProcessEnvironment(environment);
    }
    process.start(program, arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error((program + u' ' + arguments.join(u' ') + QStringLiteral(": ")
                                  + QString::fromLocal8Bit(process.readAllStandardError()))
                                     .toStdString());
    return process.readAllStandardOutput();
}

QString BuildPackage(TempTree& work, const QString& name, const QString& version, const QString& architecture,
                     const std::vector<std::pair<QString, QByteArray>>& files, const QStringList& conffiles,
                     const QString& control)
{
    const QString dir = name + u'-' + version + u'-' + architecture;
    QByteArray md5sums;
    for (const auto& [path, contents] : files) {
        work.file(dir + u'/' + path, contents);
        if (!conffiles.contains(u'/' + path))
            md5sums += QCryptographicHash::hash(contents, QCryptographicHash::Md5).toHex() + "  " + path.toUtf8() + '\n';
    }
    work.file(dir + QStringLiteral("/DEBIAN/md5sums"), md5sums);
    if (!conffiles.isEmpty())
        work.file(dir + QStringLiteral("/DEBIAN/conffiles"), conffiles.join(u'\n').toUtf8() + '\n');
    work.file(dir + QStringLiteral("/DEBIAN/control"),
              QStringLiteral("Package: %1\nVersion: %2\nArchitecture: %3\nMaintainer: Test <t@example.org>\n"
                             "Description: test package\n").arg(name, version, architecture).toUtf8() + control.toUtf8());
    RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("--root-owner-group"), QStringLiteral("--build"), work.path(dir),
                                            work.path(dir + QStringLiteral(".deb"))});
    return work.path(dir + QStringLiteral(".deb"));
}

DpkgRoot::DpkgRoot(const TempTree& root)
    : m_root(root)
{
    QDir().mkpath(root.path(QStringLiteral("var/lib/dpkg/info")));
    QDir().mkpath(root.path(QStringLiteral("var/lib/dpkg/updates")));
    QFile status(root.path(QStringLiteral("var/lib/dpkg/status")));
    if (!status.open(QIODevice::WriteOnly | QIODevice::Append))
        throw std::runtime_error("cannot make the dpkg status file");
}

void DpkgRoot::dpkg(const QStringList& arguments) const
{
    RunProgram(QStringLiteral("dpkg"), QStringList{QStringLiteral("--root=") + m_root.path(),
                                                   QStringLiteral("--force-not-root"), QStringLiteral("--force-bad-path"),
                                                   QStringLiteral("--force-script-chrootless"),
                                                   QStringLiteral("--log=") + m_log.path() + QStringLiteral("/dpkg.log")}
                                           + arguments);
}

QString DpkgRoot::architecture()
{
    return QString::fromUtf8(RunProgram(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")})).trimmed();
}

Signer::Signer(const QString& name, bool past)
    : m_past(past)
{
    RunProgram(QStringLiteral("gpg"),
               options()
                   + QStringList{QStringLiteral("--passphrase"), QString(), QStringLiteral("--quick-gen-key"),
                                 name + QStringLiteral(" <test@kvaren.invalid>"), QStringLiteral("ed25519"),
                                 QStringLiteral("sign"), past ? QStringLiteral("1d") : QStringLiteral("never")},
               m_home.path());
    for (const QByteArray& line :
         RunProgram(QStringLiteral("gpg"), options() + QStringList{QStringLiteral("--with-colons"), QStringLiteral("--list-keys")},
                    m_home.path())
             .split('\n'))
        if (line.startsWith("fpr:") && fingerprint.isEmpty())
            fingerprint = QString::fromLatin1(line.split(':').value(9));
}

Signer::~Signer()
{
    QProcess gpgconf;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GNUPGHOME"), m_home.path());
    gpgconf.setProcessEnvironment(environment);
    gpgconf.start(QStringLiteral("gpgconf"), {QStringLiteral("--kill"), QStringLiteral("all")});
    gpgconf.waitForFinished(-1);
}

void Signer::exportTo(const QString& keyring, bool armoured) const
{
    QDir().mkpath(QFileInfo(keyring).absolutePath());
    RunProgram(QStringLiteral("gpg"),
               options()
                   + QStringList{armoured ? QStringLiteral("--armor") : QStringLiteral("--no-armor"),
                                 QStringLiteral("--output"), keyring, QStringLiteral("--export")},
               m_home.path());
}

void Signer::clearSign(const QString& text, const QString& signedFile) const
{
    RunProgram(QStringLiteral("gpg"),
               options() + QStringList{QStringLiteral("--output"), signedFile, QStringLiteral("--clearsign"), text},
               m_home.path());
}

QStringList Signer::options() const
{
    QStringList options{QStringLiteral("--batch"), QStringLiteral("--quiet"), QStringLiteral("--pinentry-mode"),
                        QStringLiteral("loopback")};
    if (m_past)
        options << QStringLiteral("--faked-system-time") << QStringLiteral("20200101T000000");
    return options;
}

void PublishArchive(const TempTree& root, const Signer& signer, const QStringList& debs)
{
    signer.exportTo(root.path(QStringLiteral("etc/apt/trusted.gpg.d/kvaren-test.asc")), true);
    QDir().mkpath(root.path(QStringLiteral("var/cache/apt/archives")));
    QByteArray packages;
    for (const QString& deb : debs) {
        QFile file(deb);
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("cannot read " + deb.toStdString());
        const QByteArray contents = file.readAll();
        const QString name = QFileInfo(deb).fileName();
        packages += RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), deb}).trimmed();
        packages += "\nFilename: pool/main/" + name.toUtf8() + "\nSize: " + QByteArray::number(contents.size())
                    + "\nSHA256: " + QCryptographicHash::hash(contents, QCryptographicHash::Sha256).toHex() + "\n\n";
        // As apt names what it fetched: name_version_arch.deb, the epoch's colon escaped.
        const QStringList fields = QString::fromUtf8(RunProgram(QStringLiteral("dpkg-deb"),
            {QStringLiteral("--showformat=${Package}\\n${Version}\\n${Architecture}"), QStringLiteral("--show"), deb}))
                                       .split(u'\n');
        QString version = fields.value(1);
        version.replace(u':', QStringLiteral("%3a"));
        QFile::copy(deb, root.path(QStringLiteral("var/cache/apt/archives/%1_%2_%3.deb")
                                       .arg(fields.value(0), version, fields.value(2).trimmed())));
    }
    const QString lists = QStringLiteral("var/lib/apt/lists/example.invalid_debian_dists_test_");
    QDir().mkpath(root.path(QStringLiteral("var/lib/apt/lists")));
    const QString architecture = DpkgRoot::architecture();
    QFile list(root.path(lists + QStringLiteral("main_binary-%1_Packages").arg(architecture)));
    if (!list.open(QIODevice::WriteOnly) || list.write(packages) != packages.size())
        throw std::runtime_error("cannot write the Packages list");
    list.close();
    QTemporaryDir work;
    const QString release = work.path() + QStringLiteral("/Release");
    QFile text(release);
    if (!text.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write Release");
    text.write("Origin: Kvaren\nSuite: test\nArchitectures: " + architecture.toUtf8() + "\nComponents: main\nSHA256:\n "
               + QCryptographicHash::hash(packages, QCryptographicHash::Sha256).toHex() + ' '
               + QByteArray::number(packages.size()) + " main/binary-" + architecture.toUtf8() + "/Packages\n");
    text.close();
    signer.clearSign(release, root.path(lists + QStringLiteral("InRelease")));
}
