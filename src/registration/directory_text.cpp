#include "registration/directory_text.h"

#include <QDir>

QString CleanDirectoryText(const QString& argument)
{
    // Links are not resolved: the text is the path the user named.
    QString path = QDir::cleanPath(QDir::current().absoluteFilePath(argument));
    // cleanPath keeps ".." above the root; there is nothing above it.
    while (path == u"/.." || path.startsWith(u"/../"))
        path = path.size() == 3 ? QStringLiteral("/") : path.mid(3);
    return path;
}
