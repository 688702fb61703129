#include "cli/cli_run.h"
#include "support/package_tree.h"
#include "support/qt_printers.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <map>

namespace {

// A tree installed with dpkg --root and kept under control; after the
// baseline an administrator's day of package changes and an intruder's
// changes beside them, each finding told apart by what explains it.
class CliExplainTest : public testing::Test {
protected:
    void SetUp() override
    {
        const QString arch = DpkgRoot::architecture();
        const QStringList conffile{QStringLiteral("/etc/alpha.conf")};
        const QString alpha1 = BuildPackage(work, QStringLiteral("alpha"), QStringLiteral("1.0"), arch,
            {{QStringLiteral("usr/bin/alpha-tool"), "tool one"}, {QStringLiteral("usr/share/alpha/old-only"), "old"},
             {QStringLiteral("usr/bin/alpha-extra"), "extra one"}, {QStringLiteral("etc/alpha.conf"), "setting=1\n"}},
            conffile);
        alpha2 = BuildPackage(work, QStringLiteral("alpha"), QStringLiteral("2.0"), arch,
            {{QStringLiteral("usr/bin/alpha-tool"), "tool two!"}, {QStringLiteral("usr/bin/alpha-extra"), "extra two"},
             {QStringLiteral("usr/bin/alpha-new"), "new in two"}, {QStringLiteral("etc/alpha.conf"), "setting=2\n"},
             {QStringLiteral("usr/lib/python3/alpha.py"), "X = 2\n"}},
            conffile);
        const QString beta = BuildPackage(work, QStringLiteral("beta"), QStringLiteral("1.0"), QStringLiteral("all"),
            {{QStringLiteral("usr/bin/beta-tool"), "beta"}, {QStringLiteral("etc/beta.conf"), "b=1\n"}},
            {QStringLiteral("/etc/beta.conf")});
        gamma = BuildPackage(work, QStringLiteral("gamma"), QStringLiteral("1.0"), QStringLiteral("all"),
            {{QStringLiteral("usr/bin/gamma-tool"), "gamma"}, {QStringLiteral("etc/gamma.conf"), "g=1\n"}},
            {QStringLiteral("/etc/gamma.conf")});
        PublishArchive(root, archive, {alpha2});
        dpkg.dpkg({QStringLiteral("-i"), alpha1, beta});
        ASSERT_EQ(run({QStringLiteral("init")}).status, 0);
        for (const char* dir : {"usr", "etc"})
            ASSERT_EQ(run({QStringLiteral("add"), root.path(QLatin1String(dir))}).status, 0);
    }

    // The administrator's day: alpha upgraded, beta purged, gamma installed
    // and its conffile edited. The intruder's: the upgraded alpha-tool
    // overwritten with as many bytes, a cron job dropped in.
    void aDayPasses()
    {
        dpkg.dpkg({QStringLiteral("-i"), alpha2, gamma});
        dpkg.dpkg({QStringLiteral("--purge"), QStringLiteral("beta")});
        // What alpha's postinst would have compiled.
        RunProgram(QStringLiteral("python3"), {QStringLiteral("-m"), QStringLiteral("py_compile"),
                                               root.path(QStringLiteral("usr/lib/python3/alpha.py"))});
        root.file(QStringLiteral("etc/gamma.conf"), "g=2\n");
        root.file(QStringLiteral("usr/bin/alpha-tool"), "trojan!!!");
        root.file(QStringLiteral("etc/cron.d/zz-update"), "* * * * * root /tmp/x\n");
    }

    Result run(const QStringList& args) const
    {
        return cli(work.path(), QStringList{QStringLiteral("--package-root"), root.path()} + args);
    }

    // Each finding of a check --explain --json of usr and etc: its list and
    // the explanation's rule and verified, or "-" for none.
    std::map<QString, QString> explained() const
    {
        std::map<QString, QString> found;
        for (const char* dir : {"usr", "etc"}) {
            const Result result = run({QStringLiteral("check"), QStringLiteral("--explain"), QStringLiteral("--json"),
                                       root.path(QLatin1String(dir))});
            const QJsonObject document = QJsonDocument::fromJson(result.out.toUtf8()).object();
            for (const QString list : {"deleted", "moved", "new", "changed"})
                for (const QJsonValue entry : document.value(list).toArray()) {
                    const QJsonObject object = entry.toObject();
                    QString name = object.value(object.contains(u"path") ? u"path" : u"file").toString();
                    name = name.mid(root.path().size());
                    const QJsonObject why = object.value(u"explanation").toObject();
                    found[list + u' ' + name] = why.isEmpty()
                        ? QStringLiteral("-")
                        : why.value(u"package").toString() + u' ' + why.value(u"from").toString() + u'>'
                              + why.value(u"to").toString() + u' ' + why.value(u"rule").toString()
                              + (why.value(u"verified").toBool() ? QStringLiteral(" verified") : QString());
                }
        }
        return found;
    }

    const Signer archive{QStringLiteral("Kvaren test archive")};
    TempTree work, root;
    DpkgRoot dpkg{root};
    QString alpha2, gamma;
};

// With the archive's signature, the package manager's changes are explained
// and checked against the .deb; a forged md5sums line does not make a
// changed file explained, and what the intruder did stays unexplained.
// Without the archive, the same rests on the host's records, which the
// forgery fools: so the report says on what it rests.
TEST_F(CliExplainTest, ExplainsThePackageManagersChangesAndNothingElse)
{
    aDayPasses();
    // A forger with root rewrites alpha-extra and its MD5 in dpkg's records.
    root.file(QStringLiteral("usr/bin/alpha-extra"), "forged!!!");
    QFile md5sums(root.path(QStringLiteral("var/lib/dpkg/info/alpha.md5sums")));
    ASSERT_TRUE(md5sums.open(QIODevice::ReadOnly));
    QByteArray sums = md5sums.readAll();
    md5sums.close();
    const QByteArray forgedMd5 = QCryptographicHash::hash("forged!!!", QCryptographicHash::Md5).toHex();
    sums.replace(QCryptographicHash::hash("extra two", QCryptographicHash::Md5).toHex(), forgedMd5);
    root.file(QStringLiteral("var/lib/dpkg/info/alpha.md5sums"), sums);

    const QString pyc = QStringLiteral("/usr/lib/python3/__pycache__/alpha.")
        + QString::fromUtf8(RunProgram(QStringLiteral("python3"),
                                       {QStringLiteral("-c"), QStringLiteral("import sys; print(sys.implementation.cache_tag)")}))
              .trimmed()
        + QStringLiteral(".pyc");
    const std::map<QString, QString> expected{
        {"changed /usr/bin/alpha-tool", "-"},   // the trojan
        {"changed /usr/bin/alpha-extra", "-"},  // forged: the archive says otherwise
        {"new /usr/bin/alpha-new", "alpha 1.0>2.0 shipped verified"},
        {"deleted /usr/share/alpha/old-only", "alpha 1.0>2.0 removed"},
        {"deleted /usr/share/alpha/", "alpha 1.0>2.0 removed"},
        {"deleted /usr/share/", "alpha 1.0>2.0 removed"},
        {"deleted /usr/bin/beta-tool", "beta 1.0> removed"},
        {"new /usr/bin/gamma-tool", "gamma >1.0 shipped"},
        {"new /usr/lib/", "alpha 1.0>2.0 shipped verified"},
        {"new /usr/lib/python3/", "alpha 1.0>2.0 shipped verified"},
        {"new /usr/lib/python3/alpha.py", "alpha 1.0>2.0 shipped verified"},
        {"new /usr/lib/python3/__pycache__/", "alpha 1.0>2.0 python-bytecode"},
        {"new " + pyc, "alpha 1.0>2.0 python-bytecode"},
        {"changed /etc/alpha.conf", "alpha 1.0>2.0 conffile verified"},
        {"deleted /etc/beta.conf", "beta 1.0> removed"},
        {"new /etc/gamma.conf", "-"},           // edited by the administrator
        {"new /etc/cron.d/zz-update", "-"},
        {"new /etc/cron.d/", "-"},
    };
    EXPECT_EQ(explained(), expected);

    // --unexplained counts and lists only what is left, and sums up the rest.
    const Result usr = run({QStringLiteral("check"), QStringLiteral("--unexplained"), root.path(QStringLiteral("usr"))});
    EXPECT_EQ(usr.status, 4) << usr.err.toStdString();
    EXPECT_TRUE(usr.out.contains(QStringLiteral("пакет alpha 1.0 → 2.0: 9 файлов"))) << usr.out.toStdString();
    EXPECT_TRUE(usr.out.contains(QStringLiteral("пакет beta удален (был 1.0): 1 файл")));
    EXPECT_FALSE(usr.out.contains(QStringLiteral("alpha-new")));

    // The same forgery, without the archive, is believed, and says so.
    QDir(root.path(QStringLiteral("var/cache/apt/archives"))).removeRecursively();
    const Result text = run({QStringLiteral("check"), QStringLiteral("--explain"), root.path(QStringLiteral("usr"))});
    EXPECT_TRUE(text.out.contains(QStringLiteral("/usr/bin/alpha-extra изменено содержание файла,\n    объяснено: пакет "
                                                 "alpha 1.0 → 2.0, файл таков, каким его поставил пакет, по записям "
                                                 "этой машины")))
        << text.out.toStdString();

    // update --explained accepts exactly the explained: the trojan stays, and
    // is still unexplained once alpha's upgrade is the baseline's.
    ASSERT_EQ(run({QStringLiteral("update"), QStringLiteral("--explained"), root.path(QStringLiteral("usr"))}).status, 0);
    const Result left = run({QStringLiteral("check"), QStringLiteral("--explain"), root.path(QStringLiteral("usr"))});
    EXPECT_EQ(left.status, 4);
    EXPECT_TRUE(left.out.contains(QStringLiteral("/usr/bin/alpha-tool изменено содержание файла,\n    не объяснено")))
        << left.out.toStdString();
    EXPECT_FALSE(left.out.contains(QStringLiteral("alpha-extra")));
}

// The packages the baseline recorded are under the seal: a version put back
// behind the program's back, to pass an old binary off as an upgrade's,
// breaks it.
TEST_F(CliExplainTest, ThePackagesRecordedAreSealed)
{
    ASSERT_EQ(run({QStringLiteral("check"), root.path(QStringLiteral("usr"))}).status, 0);
    QProcess isql;
    isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-u"), QStringLiteral("sysdba"),
                                           work.path(QStringLiteral("file.gdb"))});
    isql.write("update package_record set version='0.9' where package='alpha';\ncommit;\n");
    isql.closeWriteChannel();
    ASSERT_TRUE(isql.waitForFinished(30000));
    const Result check = run({QStringLiteral("check"), root.path(QStringLiteral("usr"))});
    EXPECT_EQ(check.status & 64, 64) << check.out.toStdString();
}

} // namespace
