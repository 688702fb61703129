#include "scan/fingerprint.h"

#include <sys/stat.h>

SharedAttributes ShareAttributes(ExtendedAttributes xattrs)
{
    // The empty set is owned by nobody: copies of it count no references.
    static const ExtendedAttributes none;
    if (xattrs.empty())
        return SharedAttributes(SharedAttributes(), &none);
    return std::make_shared<const ExtendedAttributes>(std::move(xattrs));
}

QString FileTypeName(quint32 mode)
{
    switch (mode & S_IFMT) {
    case S_IFREG:
        return QStringLiteral("file");
    case S_IFLNK:
        return QStringLiteral("link");
    case S_IFDIR:
        return QStringLiteral("directory");
    case S_IFIFO:
        return QStringLiteral("fifo");
    case S_IFSOCK:
        return QStringLiteral("socket");
    case S_IFBLK:
        return QStringLiteral("block device");
    case S_IFCHR:
        return QStringLiteral("character device");
    default:
        return QStringLiteral("unknown");
    }
}

QString PermissionText(quint32 mode)
{
    return QStringLiteral("%1").arg(mode & 07777, 4, 8, QLatin1Char('0'));
}
