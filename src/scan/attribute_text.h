#pragma once

#include "scan/fingerprint.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Extended attributes and device numbers as people read them, for reports.

// A security.capability value in getcap(8)'s text, made by libcap:
// "cap_setuid=ep"; the value in hex when it is no capability set.
QString CapabilityText(const QByteArray& value);

// A system.posix_acl_access or system.posix_acl_default value in getfacl(1)'s
// short text, made by libacl: "u::rw-,u:nobody:r--,g::r--,m::r--,o::---",
// each entry after prefix; the value in hex when it is no ACL.
QString AclText(const QByteArray& value, const char* prefix = "");

// The value of the attribute name as it is shown: capabilities and ACLs as
// above, other values as text when they are printable UTF-8 (a last NUL
// aside), else in hex as getfattr -e hex shows them ("0x0a1b"); null when the
// value could not be read.
std::optional<QString> ExtendedAttributeText(const QByteArray& name, const std::optional<QByteArray>& value);

// The access ACL and, of a directory, its default ACL, as AclText shows them,
// the default entries prefixed "default:"; null when the name has neither.
std::optional<QString> AclsText(const ExtendedAttributes& xattrs);

// The capabilities of a file, as CapabilityText shows them; null for none.
std::optional<QString> CapabilitiesText(const ExtendedAttributes& xattrs);

// A device number as "major:minor".
QString DeviceText(quint64 device);
