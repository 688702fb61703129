#include "temp_tree.h"

#include "storage/database_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

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
