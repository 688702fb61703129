#include "temp_tree.h"

#include "storage/database_file.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>
#include <string>

#include <fcntl.h>
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
    const QByteArray native = QFile::encodeName(path);
    if (geteuid() != 0) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("secret") == 6 && chmod(native.constData(), 0) == 0;
    }
    QDirIterator it(QStringLiteral("/sys/devices"), QDir::Files | QDir::System, QDirIterator::Subdirectories);
    for (int looked = 0; it.hasNext() && looked < 20000; ++looked) {
        const QString candidate = it.next();
        struct stat info {};
        if (stat(QFile::encodeName(candidate).constData(), &info) == 0 && (info.st_mode & 0777) == 0200 && info.st_size > 0)
            return symlink(QFile::encodeName(candidate).constData(), native.constData()) == 0;
    }
    return false;
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
