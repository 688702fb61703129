#include "packages/package_root.h"

#include "common/file_name_codec.h"

#include <QDir>

namespace {

QString& root()
{
    static QString root = QStringLiteral("/");
    return root;
}

// The root without its last slash: "" for "/".
QString prefix(const QString& root)
{
    const QString clean = QDir::cleanPath(root);
    return clean == u"/" ? QString() : clean;
}

} // namespace

QString PackageRoot()
{
    return root();
}

void SetPackageRoot(const QString& given)
{
    root() = QDir::cleanPath(QDir(given).absolutePath());
}

std::optional<QByteArray> InsideRoot(const QString& root, const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    const QString start = prefix(root);
    if (start.isEmpty())
        return EncodeFileName(clean);
    if (clean == start)
        return QByteArray("/");
    if (!clean.startsWith(start + u'/'))
        return std::nullopt;
    return EncodeFileName(clean.mid(start.size()));
}
