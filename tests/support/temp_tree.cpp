#include "temp_tree.h"

#include "storage/database_file.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <sys/capability.h>
#include <sys/stat.h>
#include <unistd.h>

TempTree::TempTree()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary directory");
}

QString TempTree::file(const QString& relative, const QByteArray& content)
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        throw std::runtime_error("cannot write " + full.toStdString());
    return full;
}

QString TempTree::dir(const QString& relative)
{
    const QString full = path(relative);
    QDir().mkpath(full);
    return full;
}

TempDatabase::TempDatabase() : m_previous(QDir::currentPath())
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary directory");
    QDir::setCurrent(m_dir.path());
    CreateDatabaseFile(file());
}

TempDatabase::~TempDatabase()
{
    QDir::setCurrent(m_previous);
}

bool MakeUnreadableFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("secret") == 6 && chmod(QFile::encodeName(path).constData(), 0) == 0;
}

WithoutOverridingPermissions::WithoutOverridingPermissions()
    : m_holds(geteuid() != 0 || set(false))
{
}

WithoutOverridingPermissions::~WithoutOverridingPermissions()
{
    if (geteuid() == 0)
        set(true);
}

bool WithoutOverridingPermissions::set(bool on)
{
    // Capabilities belong to a thread, and a thread starts with its maker's.
    cap_t caps = cap_get_proc();
    const cap_value_t overriding[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH};
    const bool done = caps && cap_set_flag(caps, CAP_EFFECTIVE, 2, overriding, on ? CAP_SET : CAP_CLEAR) == 0
        && cap_set_proc(caps) == 0;
    cap_free(caps);
    return done;
}

int MakeTooLongPath(const QString& dir)
{
    int fd = open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string level(250, 'L');
    int depth = 0;
    for (qsizetype length = dir.size(); fd >= 0 && length <= 4400; length += qsizetype(level.size()) + 1) {
        if (mkdirat(fd, level.c_str(), 0755) != 0)
            break;
        const int next = openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = next;
        ++depth;
    }
    if (fd >= 0)
        close(fd);
    return depth;
}
