#include "sample_report.h"

#include "check/explanation_rules.h"

#include <QCryptographicHash>

namespace {

Explanation upgrade(const char* package, const char* from, const char* to, bool verified)
{
    Explanation explanation;
    explanation.package = QString::fromLatin1(package);
    explanation.architecture = MachineArchitecture();
    explanation.from = QString::fromLatin1(from);
    explanation.to = QString::fromLatin1(to);
    explanation.rule = QStringLiteral("shipped");
    explanation.verified = verified;
    return explanation;
}

Fingerprint print(quint32 mode, const QByteArray& contents)
{
    Fingerprint fingerprint;
    fingerprint.mode = mode;
    const QByteArray digest = QCryptographicHash::hash(contents, QCryptographicHash::Sha256);
    Sha256Digest sha256{};
    std::copy(digest.begin(), digest.end(), sha256.begin());
    fingerprint.sha256 = sha256;
    fingerprint.links = 1;
    return fingerprint;
}

} // namespace

CheckReport SampleReport(int findings)
{
    const Explanation packages[] = {
        upgrade("libssl3", "3.0.11-1~deb12u2", "3.0.13-1~deb12u1", true),
        upgrade("openssh-client", "1:9.2p1-2", "1:9.2p1-2+deb12u3", true),
        upgrade("tzdata", "2024a-0+deb12u1", "2025b-0+deb12u1", false),
    };
    const char* places[] = {"/usr/lib/x86_64-linux-gnu/ossl-modules", "/usr/share/doc/openssh-client",
                            "/usr/share/zoneinfo/Europe", "/etc/ssh", "/home/anna/Документы", "/var/www/html"};
    CheckReport report;
    for (int n = 0; n < findings; ++n) {
        const int i = n * 37 % findings; // the walk's order is no name's
        const int place = i % 6;
        const QString name = QStringLiteral("%1/file-%2.%3")
                                 .arg(QString::fromUtf8(places[place]))
                                 .arg(i, 3, 10, QChar(u'0'))
                                 .arg(place == 4 ? QStringLiteral("odt") : QStringLiteral("conf"));
        Finding finding = Finding::of(Finding::Kind(i % 4), name);
        if (finding.kind == Finding::Moved)
            finding.from = name + QStringLiteral(".dpkg-old");
        if (finding.kind == Finding::Changed) {
            finding.size = i % 3 != 0;
            finding.contents = true;
            finding.attributes = i % 5 == 0;
            finding.setStates(1200 + i, print(0100644, name.toUtf8()), i % 3 != 0 ? 1300 + i : 1200 + i,
                              print(i % 5 == 0 ? 0104755 : 0100644, name.toUtf8() + "now"));
        }
        // The packages' own places are theirs; the users' files nobody's.
        if (place < 3)
            finding.explanation = packages[place];
        report.add(finding);
    }
    return report;
}
