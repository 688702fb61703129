#include "scan/attribute_text.h"

#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <memory>

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/capability.h>
#include <sys/sysmacros.h>

namespace {

const QByteArray kCapability = QByteArrayLiteral("security.capability");
const QByteArray kAccessAcl = QByteArrayLiteral("system.posix_acl_access");
const QByteArray kDefaultAcl = QByteArrayLiteral("system.posix_acl_default");

QString hex(const QByteArray& value)
{
    return QStringLiteral("0x") + QString::fromLatin1(value.toHex());
}

quint32 word(const QByteArray& value, qsizetype at)
{
    return qFromLittleEndian<quint32>(value.constData() + at);
}

quint16 half(const QByteArray& value, qsizetype at)
{
    return qFromLittleEndian<quint16>(value.constData() + at);
}

// The text libcap or libacl made, freed by its own call.
QString taken(char* text, int (*release)(void*))
{
    if (!text)
        return QString();
    const QString shown = QString::fromLocal8Bit(text);
    release(text);
    return shown;
}

} // namespace

QString CapabilityText(const QByteArray& value)
{
    // The kernel's vfs_cap_data: a revision and flags word, then a permitted
    // and an inheritable word per 32 capabilities (one pair in revision 1,
    // two in revisions 2 and 3, the last with a root id after them).
    constexpr quint32 kRevisionMask = 0xFF000000;
    constexpr quint32 kEffective = 0x000001;
    if (value.size() < 4)
        return hex(value);
    const quint32 magic = word(value, 0);
    const int pairs = (magic & kRevisionMask) == 0x01000000 ? 1 : 2;
    if ((magic & kRevisionMask) > 0x03000000 || value.size() < 4 + pairs * 8)
        return hex(value);
    const std::unique_ptr<std::remove_pointer_t<cap_t>, int (*)(void*)> caps(cap_init(), cap_free);
    if (!caps)
        return hex(value);
    for (int pair = 0; pair < pairs; ++pair) {
        const quint32 permitted = word(value, 4 + pair * 8);
        const quint32 inheritable = word(value, 8 + pair * 8);
        for (int bit = 0; bit < 32; ++bit) {
            cap_value_t cap = pair * 32 + bit;
            if (cap > CAP_LAST_CAP)
                break;
            const quint32 mask = 1u << bit;
            if (permitted & mask)
                cap_set_flag(caps.get(), CAP_PERMITTED, 1, &cap, CAP_SET);
            if (inheritable & mask)
                cap_set_flag(caps.get(), CAP_INHERITABLE, 1, &cap, CAP_SET);
            if ((magic & kEffective) && ((permitted | inheritable) & mask))
                cap_set_flag(caps.get(), CAP_EFFECTIVE, 1, &cap, CAP_SET);
        }
    }
    const QString text = taken(cap_to_text(caps.get(), nullptr), cap_free);
    return text.isEmpty() ? hex(value) : text;
}

QString AclText(const QByteArray& value, const char* prefix)
{
    // The kernel's posix_acl_xattr: a version word (2), then entries of a
    // tag and permissions (16 bits each) and an id (32 bits).
    constexpr qsizetype kEntry = 8;
    if (value.size() < 4 || word(value, 0) != 2 || (value.size() - 4) % kEntry != 0)
        return hex(value);
    const int entries = int((value.size() - 4) / kEntry);
    acl_t acl = acl_init(entries);
    if (!acl)
        return hex(value);
    bool made = true;
    for (int i = 0; i < entries && made; ++i) {
        const qsizetype at = 4 + i * kEntry;
        const acl_tag_t tag = half(value, at);
        const quint16 perms = half(value, at + 2);
        id_t id = word(value, at + 4);
        acl_entry_t entry = nullptr;
        acl_permset_t permset = nullptr;
        made = acl_create_entry(&acl, &entry) == 0 && acl_set_tag_type(entry, tag) == 0
            && ((tag != ACL_USER && tag != ACL_GROUP) || acl_set_qualifier(entry, &id) == 0)
            && acl_get_permset(entry, &permset) == 0 && acl_clear_perms(permset) == 0;
        for (const acl_perm_t perm : {ACL_READ, ACL_WRITE, ACL_EXECUTE})
            if (made && (perms & perm))
                made = acl_add_perm(permset, perm) == 0;
        made = made && acl_set_permset(entry, permset) == 0;
    }
    const QString text = made ? taken(acl_to_any_text(acl, prefix, ',', TEXT_ABBREVIATE), acl_free) : QString();
    acl_free(acl);
    return text.isEmpty() ? hex(value) : text;
}

std::optional<QString> ExtendedAttributeText(const QByteArray& name, const std::optional<QByteArray>& value)
{
    if (!value)
        return std::nullopt;
    if (name == kCapability)
        return CapabilityText(*value);
    if (name == kAccessAcl || name == kDefaultAcl)
        return AclText(*value);
    QByteArray text = *value;
    if (text.endsWith('\0'))
        text.chop(1);
    const QString decoded = QString::fromUtf8(text);
    const bool printable = decoded.toUtf8() == text && std::none_of(decoded.begin(), decoded.end(), [](QChar c) {
        return c.category() == QChar::Other_Control || c.isNull();
    });
    return printable ? decoded : hex(*value);
}

std::optional<QString> AclsText(const ExtendedAttributes& xattrs)
{
    QStringList parts;
    for (const auto& [name, prefix] : {std::pair(kAccessAcl, ""), std::pair(kDefaultAcl, "default:")}) {
        const auto found = xattrs.find(name);
        if (found != xattrs.end() && found->second)
            parts.append(AclText(*found->second, prefix));
    }
    if (parts.isEmpty())
        return std::nullopt;
    return parts.join(u',');
}

std::optional<QString> CapabilitiesText(const ExtendedAttributes& xattrs)
{
    const auto found = xattrs.find(kCapability);
    if (found == xattrs.end() || !found->second)
        return std::nullopt;
    return CapabilityText(*found->second);
}

QString DeviceText(quint64 device)
{
    return QStringLiteral("%1:%2").arg(major(dev_t(device))).arg(minor(dev_t(device)));
}
