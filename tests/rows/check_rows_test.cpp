#include "rows/check_rows.h"
#include "seal/seal_rows.h"
#include "scan/fingerprint_fields.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

bool same(const Fingerprint& a, const Fingerprint& b)
{
    // Null and empty attributes differ in what they say: unknown, or none.
    return SameFingerprint(a, b, FingerprintField::Attributes) && SameFingerprint(a, b, FingerprintField::Contents)
        && bool(a.xattrs) == bool(b.xattrs) && a.sha256.has_value() == b.sha256.has_value()
        && a.flags.has_value() == b.flags.has_value() && a.device.has_value() == b.device.has_value()
        && a.links == b.links;
}

// Each kind of fingerprint comes back from the packed rows as it went in, and
// so does each row's name, however many rows the name store holds.
TEST(CheckRowsTest, GiveBackEveryFingerprintAndNameAsTheyWereGiven)
{
    std::vector<Fingerprint> prints(6);
    prints[0].mode = S_IFREG | 04755;
    prints[0].owner = 1000;
    prints[0].group = 100;
    prints[0].sha256 = Sha256Digest{1, 2, 3};
    prints[0].xattrs = ShareAttributes({});
    prints[0].flags = 0x10;
    prints[0].links = 3;
    prints[1].mode = S_IFLNK | 0777; // a link: a target, unknown attributes
    prints[1].linkTarget = QStringLiteral("../ц/target");
    prints[2].mode = S_IFCHR | 0600;
    prints[2].device = (quint64(8) << 8) | 1;
    prints[2].xattrs = ShareAttributes({{"security.selinux", QByteArray("x")}, {"user.secret", std::nullopt}});
    prints[3].mode = S_IFREG | 0644; // a regular file never read: no digest
    prints[3].xattrs = ShareAttributes({{"security.capability", QByteArray("\x01\0\0\x02", 4)}});
    prints[4].mode = S_IFDIR | 01777;
    prints[4].flags = 0;
    prints[5].mode = S_IFREG | 0;

    DirectoryTable dirs;
    CheckRows rows(dirs);
    // Names of 16 bytes each, across several blocks of the store, some of
    // them filled to their last byte.
    const int count = 300000;
    for (int i = 0; i < count; ++i) {
        const Fingerprint& print = prints[std::size_t(i) % prints.size()];
        rows.append(QStringLiteral("/d%1").arg(i % 7), QStringLiteral("имя-%1").arg(i, 9, 10, QChar(u'0')), i, QStringLiteral("-a-"), i, -i,
                    i % 11 == 10 ? nullptr : &print, i);
    }
    rows.keepOnly([](const CheckRow& row) { return row.id % 3 != 0; });
    ASSERT_EQ(rows.size(), count - (count + 2) / 3);
    for (qsizetype at = 0; at < rows.size(); ++at) {
        const CheckRow& row = rows[at];
        const int i = row.id;
        ASSERT_EQ(rows.fullName(row), QStringLiteral("/d%1/имя-%2").arg(i % 7).arg(i, 9, 10, QChar(u'0')));
        ASSERT_EQ(row.crc2, -i);
        const std::optional<Fingerprint> print = rows.print(row);
        ASSERT_EQ(print.has_value(), i % 11 != 10) << i;
        if (print) {
            ASSERT_TRUE(same(*print, prints[std::size_t(i) % prints.size()])) << i;
        }
    }
}

// A seal signs a digest of the rows (see RegistrationDigest). With the first
// field set, rows whose sizes fit in 32 bits, as every row of a database
// written before sizes were 64-bit does, give the digest that version gave,
// so its seals still hold; a size past 32 bits counts in it.
TEST(CheckRowsTest, TheSealDigestOfSizesIn32BitsIsTheOneTheyAlwaysHad)
{
    Fingerprint print;
    print.mode = S_IFREG | 0644;
    print.owner = 1000;
    print.group = 100;
    print.sha256 = Sha256Digest{1, 2, 3};
    print.xattrs = ShareAttributes({});
    print.flags = 0;
    DirectoryTable dirs;
    CheckRows rows(dirs);
    rows.append(QStringLiteral("/d"), QStringLiteral("a.txt"), 5, QStringLiteral("001"), 4589, 12994182, &print, 1,
                816934314);
    // 3,000,000,000 bytes, as its low 32 bits were kept
    rows.append(QStringLiteral("/d"), QStringLiteral("big"), -1294967296, QStringLiteral("000"), 0, 0, &print, 2, 7);
    rows.append(QStringLiteral("/d/e"), QStringLiteral("c"), 2147483647, QStringLiteral("101"), -1, 1, nullptr, 3);
    const Registration registration{1, QStringLiteral("/d"), QStringLiteral("*")};
    EXPECT_EQ(DigestHex(RegistrationDigest(registration, rows, {}, 1)).toStdString(),
              "f1f6f5b563b8bec3fa21f849c520f9b6b1054680fb223a21d1f532c5eeb0da0f");

    CheckRows small(dirs);
    CheckRows grown(dirs);
    small.append(QStringLiteral("/d"), QStringLiteral("a.txt"), 5, QStringLiteral("001"), 1, 2, &print, 1);
    grown.append(QStringLiteral("/d"), QStringLiteral("a.txt"), 5 + (qint64(1) << 32), QStringLiteral("001"), 1, 2,
                 &print, 1);
    EXPECT_NE(RegistrationDigest(registration, small, {}, 1), RegistrationDigest(registration, grown, {}, 1));
}

} // namespace
