#include "packages/dpkg_diversions.h"

#include "common/exception.h"
#include "common/shown_name.h"

#include <QFile>

std::vector<Diversion> ReadDpkgDiversions(const QString& file)
{
    QFile in(file);
    if (!in.exists())
        return {};
    if (!in.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Не удалось прочитать список отклонений dpkg: ") + ShownName(file) + QStringLiteral(": ")
                        + in.errorString());
    QList<QByteArray> lines = in.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() % 3 != 0)
        throw Exception(QStringLiteral("Список отклонений dpkg поврежден (число строк не кратно трем): ") + ShownName(file));
    std::vector<Diversion> result;
    result.reserve(std::size_t(lines.size() / 3));
    for (qsizetype i = 0; i < lines.size(); i += 3) {
        Diversion diversion{lines[i], lines[i + 1], std::nullopt};
        if (lines[i + 2] != ":")
            diversion.package = QString::fromUtf8(lines[i + 2]);
        result.push_back(std::move(diversion));
    }
    return result;
}
