#include "scan/fingerprint_fields.h"

#include "common/file_name_codec.h"
#include "scan/attribute_text.h"
#include "scan/inode_attributes.h"

#include <QElapsedTimer>
#include <QJsonObject>

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

namespace {

QJsonValue orNull(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

// The name the system gives an id, asked once a few seconds: a report of
// thousands of changed files asks for the same few ids over and over, and
// each asking may read /etc/passwd or /etc/group anew.
QJsonValue cachedName(quint32 id, QJsonValue (*ask)(quint32), std::unordered_map<quint32, QJsonValue>& names,
                      QElapsedTimer& age)
{
    constexpr qint64 kFreshMs = 5000;
    if (!age.isValid() || age.elapsed() > kFreshMs) {
        names.clear();
        age.start();
    }
    auto found = names.find(id);
    if (found == names.end())
        found = names.emplace(id, ask(id)).first;
    return found->second;
}

QJsonValue userName(quint32 id)
{
    thread_local std::unordered_map<quint32, QJsonValue> names;
    thread_local QElapsedTimer age;
    return cachedName(id, [](quint32 uid) -> QJsonValue {
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
            return QJsonValue::Null;
        return QString::fromLocal8Bit(found->pw_name);
    }, names, age);
}

QJsonValue groupName(quint32 id)
{
    thread_local std::unordered_map<quint32, QJsonValue> names;
    thread_local QElapsedTimer age;
    return cachedName(id, [](quint32 gid) -> QJsonValue {
        std::vector<char> buffer(16384);
        group entry{};
        group* found = nullptr;
        if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
            return QJsonValue::Null;
        return QString::fromLocal8Bit(found->gr_name);
    }, names, age);
}

// An id every name has, in a column of type Column, shown as the number and
// the name the system gives it.
template<quint32 Fingerprint::*member, typename Column>
FingerprintField id(const char16_t* column, void (*show)(const Fingerprint&, QList<ShownValue>&))
{
    return {QString::fromUtf16(column), FingerprintField::Attributes, FingerprintField::Word, 1,
            [](const Fingerprint& print) { return QVariant::fromValue(Column(print.*member)); },
            [](Fingerprint& print, const StoredValue& value) { print.*member = quint32(Column(value.number)); },
            [](const Fingerprint& a, const Fingerprint& b) { return a.*member == b.*member; },
            [](const Fingerprint& print) { return std::optional<quint32>(print.*member); },
            [](Fingerprint& print, quint32 word) { print.*member = word; }, nullptr, show};
}

// Extended attributes as a column holds them: null for none, which is most
// names' (a blob written or read for every row would cost more than the rest
// of it); else a format byte, then for each attribute its name's length (16
// bits) and name, and its value's length (32 bits; all ones for a value not
// read) and value. Whether a null is "none" or "not known" the
// device_or_flags column says.
constexpr char kXattrFormat = 1;
constexpr quint32 kNotRead = 0xFFFFFFFF;

QByteArray encodeXattrs(const ExtendedAttributes& xattrs)
{
    if (xattrs.empty())
        return QByteArray();
    QByteArray bytes(1, kXattrFormat);
    for (const auto& [name, value] : xattrs) {
        const quint16 nameSize = quint16(name.size());
        const quint32 valueSize = value ? quint32(value->size()) : kNotRead;
        bytes.append(reinterpret_cast<const char*>(&nameSize), sizeof nameSize).append(name);
        bytes.append(reinterpret_cast<const char*>(&valueSize), sizeof valueSize);
        if (value)
            bytes.append(*value);
    }
    return bytes;
}

SharedAttributes decodeXattrs(const QByteArray& bytes)
{
    ExtendedAttributes xattrs;
    if (bytes.isEmpty())
        return ShareAttributes({});
    if (bytes[0] != kXattrFormat)
        return nullptr;
    qsizetype at = 1;
    auto take = [&](auto& number) {
        if (at + qsizetype(sizeof number) > bytes.size())
            return false;
        std::memcpy(&number, bytes.data() + at, sizeof number);
        at += sizeof number;
        return true;
    };
    while (at < bytes.size()) {
        quint16 nameSize = 0;
        quint32 valueSize = 0;
        if (!take(nameSize) || at + nameSize > bytes.size())
            return nullptr;
        const QByteArray name = bytes.mid(at, nameSize);
        at += nameSize;
        if (!take(valueSize))
            return nullptr;
        if (valueSize == kNotRead) {
            xattrs.emplace(name, std::nullopt);
            continue;
        }
        if (at + qsizetype(valueSize) > bytes.size())
            return nullptr;
        xattrs.emplace(name, bytes.mid(at, qsizetype(valueSize)));
        at += qsizetype(valueSize);
    }
    return ShareAttributes(std::move(xattrs));
}

// The digest a column holds in hex. Stored digests are the program's own
// lowercase hex; anything else is read as QByteArray::fromHex reads it,
// skipping what is no hex digit.
Sha256Digest digestFromHex(QByteArrayView hex)
{
    Sha256Digest digest{};
    const auto nibble = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = nibble(hex[qsizetype(2 * i)]), low = nibble(hex[qsizetype(2 * i + 1)]);
        if (high < 0 || low < 0) {
            const QByteArray bytes = QByteArray::fromHex(hex.toByteArray());
            digest = {};
            std::copy_n(reinterpret_cast<const quint8*>(bytes.constData()), std::min<qsizetype>(bytes.size(), 32),
                        digest.begin());
            return digest;
        }
        digest[i] = quint8(high << 4 | low);
    }
    return digest;
}

// The same names, and the same values where both were read.
bool sameXattrs(const SharedAttributes& a, const SharedAttributes& b)
{
    if (!a || !b || a == b)
        return true;
    return std::equal(a->begin(), a->end(), b->begin(), b->end(), [](const auto& x, const auto& y) {
        return x.first == y.first && (!x.second || !y.second || x.second == y.second);
    });
}

std::vector<FingerprintField> describe()
{
    using F = FingerprintField;
    return {
        // st_mode: the file type and all twelve permission bits.
        {QStringLiteral("mode"), F::Attributes, F::Word, 1,
         [](const Fingerprint& print) { return QVariant::fromValue(qint32(print.mode)); },
         [](Fingerprint& print, const StoredValue& value) { print.mode = quint32(qint32(value.number)); },
         [](const Fingerprint& a, const Fingerprint& b) { return a.mode == b.mode; },
         [](const Fingerprint& print) { return std::optional<quint32>(print.mode); },
         [](Fingerprint& print, quint32 word) { print.mode = word; }, nullptr,
         [](const Fingerprint& print, QList<ShownValue>& shown) {
             shown.append({QStringLiteral("type"), FileTypeName(print.mode)});
             shown.append({QStringLiteral("mode"), PermissionText(print.mode)});
         }},
        id<&Fingerprint::owner, qint64>(u"owner_id",
                                        [](const Fingerprint& print, QList<ShownValue>& shown) {
                                            shown.append({QStringLiteral("uid"), qint64(print.owner)});
                                            shown.append({QStringLiteral("user"), userName(print.owner)});
                                        }),
        id<&Fingerprint::group, qint64>(u"group_id",
                                        [](const Fingerprint& print, QList<ShownValue>& shown) {
                                            shown.append({QStringLiteral("gid"), qint64(print.group)});
                                            shown.append({QStringLiteral("group"), groupName(print.group)});
                                        }),
        // A link's own text, byte for byte; null for a name that is no link
        // (a link's text is never empty).
        {QStringLiteral("link_target"), F::Attributes, F::Apart, 1,
         [](const Fingerprint& print) {
             return QVariant(print.linkTarget.isEmpty() ? QByteArray() : EncodeFileName(print.linkTarget));
         },
         [](Fingerprint& print, const StoredValue& value) { print.linkTarget = DecodeFileName(value.bytes); },
         [](const Fingerprint& a, const Fingerprint& b) { return a.linkTarget == b.linkTarget; }, nullptr, nullptr,
         [](const Fingerprint& print) { return print.linkTarget.isEmpty(); },
         [](const Fingerprint& print, QList<ShownValue>& shown) {
             shown.append({QStringLiteral("link"),
                           print.linkTarget.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(print.linkTarget),
                           !print.linkTarget.isEmpty()});
         }},
        // The digest in hex; null for a name that is not read.
        {QStringLiteral("sha256"), F::Contents, F::Digest, 1,
         [](const Fingerprint& print) {
             return QVariant(print.sha256 ? QString::fromLatin1(DigestHex(*print.sha256)) : QString());
         },
         [](Fingerprint& print, const StoredValue& value) {
             if (value.bytes.size() == 64)
                 print.sha256 = digestFromHex(value.bytes);
         },
         [](const Fingerprint& a, const Fingerprint& b) { return a.sha256 == b.sha256; }, nullptr, nullptr, nullptr,
         [](const Fingerprint& print, QList<ShownValue>& shown) {
             shown.append({QStringLiteral("sha256"), print.sha256 ? QJsonValue(QString::fromLatin1(DigestHex(*print.sha256)))
                                                                  : QJsonValue(QJsonValue::Null)});
         }},
        // Capabilities, ACLs and every other extended attribute; most names
        // have none.
        {QStringLiteral("xattrs"), F::Attributes, F::Bit, 1,
         [](const Fingerprint& print) { return QVariant(print.xattrs ? encodeXattrs(*print.xattrs) : QByteArray()); },
         [](Fingerprint& print, const StoredValue& value) { print.xattrs = decodeXattrs(value.bytes.toByteArray()); },
         [](const Fingerprint& a, const Fingerprint& b) { return sameXattrs(a.xattrs, b.xattrs); },
         [](const Fingerprint& print) { return print.xattrs ? std::optional<quint32>(0) : std::nullopt; },
         [](Fingerprint& print, quint32) { print.xattrs = ShareAttributes({}); },
         [](const Fingerprint& print) { return !print.xattrs || print.xattrs->empty(); },
         [](const Fingerprint& print, QList<ShownValue>& shown) {
             if (!print.xattrs) {
                 for (const char16_t* key : {u"xattrs", u"acl", u"capabilities"})
                     shown.append({QString::fromUtf16(key), QJsonValue::Undefined});
                 return;
             }
             QJsonObject xattrs;
             for (const auto& [name, value] : *print.xattrs)
                 xattrs.insert(QString::fromUtf8(name), orNull(ExtendedAttributeText(name, value)));
             shown.append({QStringLiteral("xattrs"), xattrs});
             shown.append({QStringLiteral("acl"), orNull(AclsText(*print.xattrs))});
             shown.append({QStringLiteral("capabilities"), orNull(CapabilitiesText(*print.xattrs))});
         }},
        // What the inode holds beyond the mode: a device's number, or the
        // flags of a regular file or directory (the mode, read before it,
        // says which); -1 for neither. Null only in rows written before this
        // column and xattrs were kept, read after xattrs: then neither the
        // flags nor the extended attributes are known (a null xattrs is
        // "none" in every later row).
        {QStringLiteral("device_or_flags"), F::Attributes, F::Word, 1,
         [](const Fingerprint& print) {
             return QVariant::fromValue(print.device ? qint64(*print.device) : print.flags ? qint64(*print.flags) : qint64(-1));
         },
         [](Fingerprint& print, const StoredValue& value) {
             if (value.null) {
                 print.xattrs.reset();
                 return;
             }
             const qint64 word = value.number;
             if (word == -1)
                 return;
             if (S_ISBLK(print.mode) || S_ISCHR(print.mode))
                 print.device = quint64(word);
             else
                 print.flags = quint32(word);
         },
         [](const Fingerprint& a, const Fingerprint& b) {
             return (!a.flags || !b.flags || a.flags == b.flags) && (!a.device || !b.device || a.device == b.device);
         },
         [](const Fingerprint& print) { return print.flags; },
         [](Fingerprint& print, quint32 word) { print.flags = word; },
         [](const Fingerprint& print) { return !print.device; },
         [](const Fingerprint& print, QList<ShownValue>& shown) {
             shown.append({QStringLiteral("flags"),
                           print.flags ? QJsonValue(InodeFlagsText(*print.flags)) : QJsonValue(QJsonValue::Undefined)});
             shown.append({QStringLiteral("device"),
                           print.device ? QJsonValue(DeviceText(*print.device)) : QJsonValue(QJsonValue::Undefined)});
         }},
        // How many names a regular file has; unknown for any other name, and
        // in rows written before it was kept.
        {QStringLiteral("link_count"), F::Attributes, F::Word, 2,
         [](const Fingerprint& print) { return print.links ? QVariant::fromValue(qint64(*print.links)) : QVariant(); },
         [](Fingerprint& print, const StoredValue& value) {
             if (!value.null)
                 print.links = quint32(value.number);
         },
         [](const Fingerprint& a, const Fingerprint& b) { return !a.links || !b.links || a.links == b.links; },
         [](const Fingerprint& print) { return print.links; },
         [](Fingerprint& print, quint32 word) { print.links = word; }, nullptr,
         [](const Fingerprint& print, QList<ShownValue>& shown) {
             shown.append({QStringLiteral("links"),
                           print.links ? QJsonValue(qint64(*print.links)) : QJsonValue(QJsonValue::Undefined)});
         }},
    };
}

} // namespace

const std::vector<FingerprintField>& FingerprintFields()
{
    static const std::vector<FingerprintField> fields = describe();
    return fields;
}

bool SameFingerprint(const Fingerprint& a, const Fingerprint& b, FingerprintField::Change change)
{
    return std::all_of(FingerprintFields().begin(), FingerprintFields().end(), [&](const FingerprintField& field) {
        return field.change != change || field.same(a, b);
    });
}

int SealFieldSet()
{
    static const int set = std::max_element(FingerprintFields().begin(), FingerprintFields().end(),
                                            [](const FingerprintField& a, const FingerprintField& b) {
                                                return a.sealSince < b.sealSince;
                                            })->sealSince;
    return set;
}

QList<ShownValue> ShownFingerprint(const Fingerprint& print)
{
    QList<ShownValue> shown;
    for (const FingerprintField& field : FingerprintFields())
        field.show(print, shown);
    return shown;
}
