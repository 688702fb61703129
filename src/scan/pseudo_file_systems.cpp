#include "scan/pseudo_file_systems.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <algorithm>
#include <sys/sysmacros.h>

bool IsPseudoFileSystemType(QStringView type)
{
    static const QStringView kTypes[] = {
        u"autofs",  u"binfmt_misc", u"bpf",       u"cgroup",     u"cgroup2",   u"configfs",   u"debugfs",
        u"devpts",  u"devtmpfs",    u"efivarfs",  u"fuse.lxcfs", u"fusectl",   u"hugetlbfs",  u"mqueue",
        u"nfsd",    u"nsfs",        u"proc",      u"pstore",     u"rpc_pipefs", u"securityfs", u"selinuxfs",
        u"smackfs", u"sysfs",       u"tracefs",   u"usbfs",      u"xenfs",
    };
    return std::find(std::begin(kTypes), std::end(kTypes), type) != std::end(kTypes);
}

PseudoFileSystems PseudoFileSystems::mounted()
{
    PseudoFileSystems result;
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return result;
    // "36 35 0:21 / /proc rw,nosuid - proc proc rw": the device is the third
    // field, the type the one after the lone "-" that ends the optional fields.
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf(QByteArray("-"));
        if (fields.size() < 3 || dash < 0 || dash + 1 >= fields.size())
            continue;
        if (!IsPseudoFileSystemType(QString::fromUtf8(fields[dash + 1])))
            continue;
        const QList<QByteArray> numbers = fields[2].split(':');
        bool majorOk = false, minorOk = false;
        if (numbers.size() != 2)
            continue;
        const uint major = numbers[0].toUInt(&majorOk);
        const uint minor = numbers[1].toUInt(&minorOk);
        if (majorOk && minorOk)
            result.m_devices.push_back(makedev(major, minor));
    }
    return result;
}

bool PseudoFileSystems::contains(dev_t device) const
{
    return std::find(m_devices.begin(), m_devices.end(), device) != m_devices.end();
}
