#include "registration/directory_list_file.h"

#include "common/exception.h"
#include "common/shown_name.h"
#include "registration/directory_text.h"

#include <QFile>

QStringList ReadDirectoryListFile(const QString& file)
{
    QFile list(file);
    if (!list.open(QIODevice::ReadOnly | QIODevice::Text))
        throw Exception(QStringLiteral("Не удалось прочитать список директорий: ") + ShownName(file)
                        + QStringLiteral(": ") + list.errorString());
    QStringList directories;
    int number = 0;
    for (const QByteArray& bytes : list.readAll().split('\n')) {
        ++number;
        const QString line = QString::fromUtf8(bytes).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (!line.startsWith(u'/'))
            throw Exception(QStringLiteral("Список директорий %1, строка %2: нужен абсолютный путь: %3")
                                .arg(ShownName(file)).arg(number).arg(ShownName(line)));
        directories.append(CleanDirectoryText(line));
    }
    return directories;
}
