#include "packages/dpkg_database.h"
#include "packages/script_made.h"
#include "support/qt_printers.h"
#include "support/temp_tree.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <unistd.h>
#include <utime.h>

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(120000);
    EXPECT_EQ(process.exitCode(), 0) << program.toStdString() << ": " << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// A .deb of files (path below the root, contents) and links (path, text),
// as in dpkg_database_test.
QString buildPackage(TempTree& work, const QString& name, const QString& architecture,
                     const std::vector<std::pair<QString, QByteArray>>& files,
                     const std::vector<std::pair<QString, QString>>& links = {})
{
    for (const auto& [path, text] : links) {
        work.dir(name + u'/' + path.section(u'/', 0, -2));
        EXPECT_TRUE(QFile::link(text, work.path(name + u'/' + path)));
    }
    QByteArray md5sums;
    for (const auto& [path, contents] : files) {
        work.file(name + u'/' + path, contents);
        md5sums += QCryptographicHash::hash(contents, QCryptographicHash::Md5).toHex() + "  " + path.toUtf8() + '\n';
    }
    work.file(name + QStringLiteral("/DEBIAN/md5sums"), md5sums);
    work.file(name + QStringLiteral("/DEBIAN/control"),
              QStringLiteral("Package: %1\nVersion: 1.0\nArchitecture: %2\nMaintainer: Test <t@example.org>\n"
                             "Description: test package\n")
                  .arg(name, architecture)
                  .toUtf8());
    run(QStringLiteral("dpkg-deb"),
        {QStringLiteral("--root-owner-group"), QStringLiteral("--build"), work.path(name),
         work.path(name + QStringLiteral(".deb"))});
    return work.path(name + QStringLiteral(".deb"));
}

QByteArray readFile(const QString& path)
{
    QFile in(path);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << path.toStdString();
    return in.readAll();
}

void link(const QString& target, const QString& at)
{
    ASSERT_TRUE(QFile::link(target, at)) << at.toStdString();
}

// A tree where alpha and ca-certificates changed since the baseline and
// steady did not; the files their scripts would make are made by hand,
// beside forged ones, and each is told its rule and package, or none.
TEST(ScriptMadeTest, ExplainsWhatTheScriptsOfChangedPackagesMade)
{
    TempTree root, work;
    root.file(QStringLiteral("var/lib/dpkg/status"));
    root.dir(QStringLiteral("var/lib/dpkg/info"));
    root.dir(QStringLiteral("var/lib/dpkg/updates"));
    root.dir(QStringLiteral("var/lib/dpkg/alternatives"));
    root.dir(QStringLiteral("usr/lib"));
    link(QStringLiteral("usr/lib"), root.path(QStringLiteral("lib")));
    const QString arch = run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
    const QString python = QStringLiteral("/usr/lib/python3/dist-packages/");
    const QString tls = QStringLiteral("usr/share/ca-certificates/test/");

    for (const QString& name : {QStringLiteral("Kvaren_Root"), QStringLiteral("Local_Root")}) {
        run(QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
             QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
             QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=") + name,
             QStringLiteral("-keyout"), work.path(name + QStringLiteral(".key")), QStringLiteral("-out"),
             work.path(name + QStringLiteral(".crt"))});
    }
    const QByteArray certificate = readFile(work.path(QStringLiteral("Kvaren_Root.crt")));
    // A real library, so that ldconfig has something to put in its cache.
    const QRegularExpression libz(QStringLiteral("libz\\.so\\.1 \\(.*\\) => (\\S+)"));
    const QString libzPath = libz.match(run(QStringLiteral("ldconfig"), {QStringLiteral("-p")})).captured(1);
    ASSERT_FALSE(libzPath.isEmpty());

    const QStringList debs = {
        buildPackage(work, QStringLiteral("alpha"), arch,
                     {{QStringLiteral("usr/lib/python3/dist-packages/alpha/__init__.py"), "x = 1\n"},
                      {QStringLiteral("usr/lib/python3/dist-packages/alpha/timed.py"), "y = 2\n"},
                      {QStringLiteral("usr/lib/python3/dist-packages/alpha/forged.py"), "z = 3\n"},
                      {QStringLiteral("usr/lib/libkvz.so.1"), readFile(libzPath)},
                      {QStringLiteral("etc/init.d/alphad"), "#!/bin/sh\n"},
                      {QStringLiteral("usr/bin/alpha-editor"), "#!/bin/sh\n"}},
                     {{QStringLiteral("usr/lib/python3/dist-packages/alpha/linked.py"), QStringLiteral("timed.py")}}),
        buildPackage(work, QStringLiteral("steady"), arch,
                     {{QStringLiteral("usr/lib/python3/dist-packages/steady.py"), "s = 1\n"},
                      {QStringLiteral("etc/init.d/steadyd"), "#!/bin/sh\n"},
                      {QStringLiteral("usr/bin/steady-editor"), "#!/bin/sh\n"}}),
        buildPackage(work, QStringLiteral("ca-certificates"), QStringLiteral("all"),
                     {{tls + QStringLiteral("Kvaren_Root.crt"), certificate}}),
    };
    run(QStringLiteral("dpkg"),
        QStringList{QStringLiteral("--root=") + root.path(), QStringLiteral("--force-not-root"),
                    QStringLiteral("--force-bad-path"), QStringLiteral("--force-script-chrootless"),
                    QStringLiteral("--log=") + work.path(QStringLiteral("dpkg.log")), QStringLiteral("-i")}
            + debs);

    // Bytecode: by timestamp, by checked hash, by a timestamp the source no
    // longer has, and of a package that did not change.
    const auto compile = [&](const QString& source, const char* mode) {
        run(QStringLiteral("python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import py_compile, sys; py_compile.compile(sys.argv[1], doraise=True, "
                            "invalidation_mode=py_compile.PycInvalidationMode.%1)")
                 .arg(QLatin1String(mode)),
             root.path() + source});
    };
    compile(python + QStringLiteral("alpha/timed.py"), "TIMESTAMP");
    compile(python + QStringLiteral("alpha/linked.py"), "TIMESTAMP");
    compile(python + QStringLiteral("alpha/__init__.py"), "CHECKED_HASH");
    compile(python + QStringLiteral("alpha/forged.py"), "TIMESTAMP");
    compile(python + QStringLiteral("steady.py"), "TIMESTAMP");
    const utimbuf earlier = {1000000000, 1000000000};
    ASSERT_EQ(utime(QFile::encodeName(root.path() + python + QStringLiteral("alpha/forged.py")).constData(), &earlier),
              0);
    const QString tag = run(QStringLiteral("python3"),
                            {QStringLiteral("-c"), QStringLiteral("import sys; print(sys.implementation.cache_tag)")});

    // Alternatives as update-alternatives makes them: kvedit chooses
    // alpha's editor by priority, kvview steady's, which has no manual page,
    // and kvpick's link is pointed by hand at the lower priority.
    const QString alternatives = QStringLiteral("update-alternatives");
    const QStringList under
        = {QStringLiteral("--root"), root.path(), QStringLiteral("--log"), work.path(QStringLiteral("alt.log"))};
    root.dir(QStringLiteral("etc/alternatives"));
    root.dir(QStringLiteral("usr/share/man/man1"));
    for (const char* group : {"kvedit", "kvview", "kvpick"}) {
        const QString name = QLatin1String(group);
        const bool alphaBest = name == u"kvedit";
        run(alternatives,
            under
                + QStringList{QStringLiteral("--install"), QStringLiteral("/usr/bin/") + name, name,
                              QStringLiteral("/usr/bin/alpha-editor"),
                              alphaBest ? QStringLiteral("50") : QStringLiteral("10"), QStringLiteral("--slave"),
                              QStringLiteral("/usr/share/man/man1/") + name + QStringLiteral(".1.gz"),
                              name + QStringLiteral(".1.gz"), QStringLiteral("/usr/bin/alpha-editor")});
        run(alternatives,
            under
                + QStringList{QStringLiteral("--install"), QStringLiteral("/usr/bin/") + name, name,
                              QStringLiteral("/usr/bin/steady-editor"), QStringLiteral("20")});
    }
    QFile::remove(root.path(QStringLiteral("etc/alternatives/kvpick")));
    link(QStringLiteral("/usr/bin/alpha-editor"), root.path(QStringLiteral("etc/alternatives/kvpick")));
    QFile::remove(root.path(QStringLiteral("usr/bin/kvview")));
    link(QStringLiteral("/usr/bin/steady-editor"), root.path(QStringLiteral("usr/bin/kvview")));

    // Certificate links as update-ca-certificates makes them, a hash that
    // is not the subject's, a name that is not the certificate's, a
    // certificate no package ships and one outside the root.
    const QString hash = run(QStringLiteral("openssl"),
                             {QStringLiteral("x509"), QStringLiteral("-hash"), QStringLiteral("-noout"),
                              QStringLiteral("-in"), work.path(QStringLiteral("Kvaren_Root.crt"))});
    root.dir(QStringLiteral("etc/ssl/certs"));
    link(u'/' + tls + QStringLiteral("Kvaren_Root.crt"), root.path(QStringLiteral("etc/ssl/certs/Kvaren_Root.pem")));
    link(QStringLiteral("Kvaren_Root.pem"), root.path(QStringLiteral("etc/ssl/certs/") + hash + QStringLiteral(".0")));
    link(QStringLiteral("Kvaren_Root.pem"), root.path(QStringLiteral("etc/ssl/certs/0badc0de.0")));
    link(QStringLiteral("../../../../../../../../..") + work.path(QStringLiteral("Kvaren_Root.crt")),
         root.path(QStringLiteral("etc/ssl/certs/") + hash + QStringLiteral(".1")));
    link(u'/' + tls + QStringLiteral("Kvaren_Root.crt"), root.path(QStringLiteral("etc/ssl/certs/Other.pem")));
    root.file(QStringLiteral("usr/local/share/ca-certificates/Local_Root.crt"),
              readFile(work.path(QStringLiteral("Local_Root.crt"))));
    link(QStringLiteral("/usr/local/share/ca-certificates/Local_Root.crt"),
         root.path(QStringLiteral("etc/ssl/certs/Local_Root.pem")));

    // Runlevel links, one to another service's script.
    for (const char* at : {"etc/rc2.d/S01alphad", "etc/rc2.d/S01steadyd", "etc/rc3.d/S01alphad"}) {
        const QString name = QLatin1String(at);
        root.dir(name.section(u'/', 0, 1));
        link(name == u"etc/rc2.d/S01alphad" ? QStringLiteral("../init.d/alphad") : QStringLiteral("../init.d/steadyd"),
             root.path(name));
    }

    // The cache ldconfig makes of the root, and then one byte more.
    const bool asRoot = geteuid() == 0;
    if (asRoot) {
        run(QStringLiteral("ldconfig"),
            {QStringLiteral("-X"), QStringLiteral("-r"), root.path(), QStringLiteral("-C"),
             QStringLiteral("/etc/ld.so.cache")});
    }

    const std::optional<DpkgDatabase> database = DpkgDatabase::open(root.path());
    ASSERT_TRUE(database);
    ScriptMadeRules rules(
        *database,
        {{QStringLiteral("alpha"), arch, {}}, {QStringLiteral("ca-certificates"), QStringLiteral("all"), {}}});
    struct Case {
        QString path;
        bool deleted;
        const char* expected; // "rule package", or "" for none
    };
    // The bytecode of module ("alpha/timed") as Python names it.
    const auto pyc = [&](const QString& module, const QString& suffix = QStringLiteral(".pyc")) {
        const qsizetype slash = module.lastIndexOf(u'/');
        return python + module.left(slash + 1) + QStringLiteral("__pycache__/") + module.mid(slash + 1) + u'.' + tag
            + suffix;
    };
    const Case cases[] = {
        {pyc(QStringLiteral("alpha/timed")), false, "python-bytecode alpha"},
        {pyc(QStringLiteral("alpha/linked")), false, "python-bytecode alpha"},
        {pyc(QStringLiteral("alpha/__init__")), false, "python-bytecode alpha"},
        {pyc(QStringLiteral("alpha/forged")), false, ""},
        {pyc(QStringLiteral("steady")), false, ""},
        {pyc(QStringLiteral("alpha/dropped"), QStringLiteral(".opt-1.pyc")), true, "python-bytecode alpha"},
        {pyc(QStringLiteral("steady")), true, ""},
        {QStringLiteral("/etc/alternatives/kvedit"), false, "alternative alpha"},
        {QStringLiteral("/usr/bin/kvedit"), false, "alternative alpha"},
        {QStringLiteral("/etc/alternatives/kvedit.1.gz"), false, "alternative alpha"},
        {QStringLiteral("/usr/share/man/man1/kvedit.1.gz"), false, "alternative alpha"},
        {QStringLiteral("/etc/alternatives/kvview"), false, "alternative alpha"},
        {QStringLiteral("/etc/alternatives/kvview.1.gz"), true, "alternative alpha"},
        {QStringLiteral("/usr/bin/kvview"), false, ""},
        {QStringLiteral("/etc/alternatives/kvpick"), false, ""},
        {QStringLiteral("/etc/alternatives/kvedit.1.gz"), true, ""},
        {QStringLiteral("/etc/ssl/certs/Kvaren_Root.pem"), false, "certificate-link ca-certificates"},
        {QStringLiteral("/etc/ssl/certs/") + hash + QStringLiteral(".0"), false, "certificate-link ca-certificates"},
        {QStringLiteral("/etc/ssl/certs/0badc0de.0"), false, ""},
        {QStringLiteral("/etc/ssl/certs/") + hash + QStringLiteral(".1"), false, ""},
        {QStringLiteral("/etc/ssl/certs/Other.pem"), false, ""},
        {QStringLiteral("/etc/ssl/certs/Local_Root.pem"), false, ""},
        {QStringLiteral("/etc/ssl/certs/12345678.1"), true, "certificate-link ca-certificates"},
        {QStringLiteral("/etc/rc2.d/S01alphad"), false, "rc-link alpha"},
        {QStringLiteral("/etc/rc2.d/S01steadyd"), false, ""},
        {QStringLiteral("/etc/rc3.d/S01alphad"), false, ""},
        {QStringLiteral("/etc/rc0.d/K01alphad"), true, "rc-link alpha"},
        {QStringLiteral("/etc/rc0.d/K01steadyd"), true, ""},
        {QStringLiteral("/etc/ld.so.cache"), false, asRoot ? "ld-cache alpha" : ""},
        {QStringLiteral("/etc/ld.so.cache"), true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString() + (c.deleted ? " deleted" : ""));
        const std::optional<ScriptMade> made = rules.explain(c.path, c.deleted);
        EXPECT_EQ(made ? made->rule + u' ' + made->package.name : QString(), QString::fromLatin1(c.expected));
    }

    // A cache ldconfig would not make is not explained.
    if (asRoot) {
        QFile ldCache(root.path(QStringLiteral("etc/ld.so.cache")));
        ASSERT_TRUE(ldCache.open(QIODevice::Append));
        ldCache.write("x");
        ldCache.close();
        const ScriptMadeRules again(*database, {{QStringLiteral("alpha"), arch, {}}});
        EXPECT_EQ(again.explain(QStringLiteral("/etc/ld.so.cache"), false), std::nullopt);
    }
}

} // namespace
