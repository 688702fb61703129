#include "check/report_json.h"

#include "check/check_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QChar kLetters[] = {u'S', u'A', u'C'};
const char* const kKeys[] = {"size", "attributes", "contents"};

QJsonArray names(const QStringList& list)
{
    return QJsonArray::fromStringList(list);
}

// The text report gives a changed file one line per change, S, A and C in
// that order, one after another; the line's ending tells which change it is.
QJsonArray changedFiles(const QStringList& lines)
{
    QJsonArray files;
    QString current;
    QJsonObject entry;
    for (const QString& line : lines) {
        for (int i = 0; i < 3; ++i) {
            const QString suffix = ChangeLine(QString(), kLetters[i]);
            if (!line.endsWith(suffix))
                continue;
            const QString file = line.chopped(suffix.size());
            if (entry.isEmpty() || file != current) {
                if (!entry.isEmpty())
                    files.append(entry);
                current = file;
                entry = {{QStringLiteral("file"), file}};
                for (const char* key : kKeys)
                    entry.insert(QLatin1String(key), false);
            }
            entry.insert(QLatin1String(kKeys[i]), true);
            break;
        }
    }
    if (!entry.isEmpty())
        files.append(entry);
    return files;
}

} // namespace

QByteArray ReportJson(const QString& dir, const CheckReport& report)
{
    QJsonArray moved;
    for (qsizetype i = 0; i < report.moved.size(); ++i) {
        const QString& from = report.movedFrom.at(i);
        moved.append(QJsonObject{{QStringLiteral("from"), from},
                                 {QStringLiteral("to"), report.moved.at(i).mid(MovedLine(from, QString()).size())}});
    }
    const QJsonObject document{
        {QStringLiteral("directory"), dir},
        {QStringLiteral("deleted"), names(report.deleted)},
        {QStringLiteral("moved"), moved},
        {QStringLiteral("new"), names(report.added)},
        {QStringLiteral("changed"), changedFiles(report.changed)},
    };
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}
