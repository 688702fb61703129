#include "rows/event_log.h"

#include "common/file_name_codec.h"
#include "storage/ib_database.h"
#include "storage/ib_query.h"

#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

#include <array>

namespace {

constexpr std::array<QStringView, 4> kKindKeys{u"check", u"accept", u"accept-names", u"accept-explained"};

bool kept(TIBQuery& query)
{
    return !query.database().lacks(QStringLiteral("event_log"));
}

QString userName()
{
    const uid_t uid = geteuid();
    if (const passwd* entry = getpwuid(uid))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(uid);
}

LogEntry::Kind kindOf(const QString& key)
{
    for (std::size_t i = 0; i < kKindKeys.size(); ++i)
        if (key == kKindKeys[i])
            return LogEntry::Kind(i);
    return LogEntry::Check;
}

// Each name's bytes ended by a zero byte, which no name holds.
QByteArray packNames(const QStringList& names)
{
    QByteArray packed;
    for (const QString& name : names)
        packed += EncodeFileName(name) + '\0';
    return packed;
}

QStringList unpackNames(const QByteArray& packed)
{
    QStringList names;
    for (const QByteArray& name : packed.split('\0'))
        names.append(DecodeFileName(name));
    // The last name's zero byte ends it: nothing follows.
    if (!names.isEmpty())
        names.removeLast();
    return names;
}

QVariant optionalNumber(const std::optional<qint32>& number)
{
    return number ? QVariant(*number) : QVariant(QString());
}

LogEntries readEntries(TIBQuery& query, std::optional<qint32> registration, bool acceptsOnly)
{
    LogEntries entries;
    if (!kept(query))
        return entries;
    Statement select(u"select tab_id,kind,logged_at,user_name,host_name,deleted_count,moved_count,new_count,"
                     u"changed_count,not_examined_count,unexplained_count,status_bits,seal,names from event_log"
                     u" where 1=1");
    if (acceptsOnly)
        select.sql(u" and kind<>'check'");
    if (registration)
        select.sql(u" and tab_id=").number(*registration);
    ForEachRow(query, select, [&] {
        LogEntry entry;
        entry.registration = query.field(0).toInt();
        entry.kind = kindOf(query.field(1).toString());
        entry.at = QDateTime::fromString(query.field(2).toString(), Qt::ISODateWithMs);
        entry.user = query.field(3).toString();
        entry.host = query.field(4).toString();
        entry.deleted = query.field(5).toInt();
        entry.moved = query.field(6).toInt();
        entry.added = query.field(7).toInt();
        entry.changed = query.field(8).toInt();
        entry.notExamined = query.field(9).toInt();
        if (!query.field(10).isNull())
            entry.unexplained = query.field(10).toInt();
        entry.status = query.field(11).toInt();
        entry.seal = query.field(12).toString();
        entry.names = unpackNames(query.field(13).toByteArray());
        entries.append(std::move(entry));
    });
    // The times are the order the entries were made in; one that ties keeps
    // the engine's order, the same every time it is read.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const LogEntry& a, const LogEntry& b) { return a.at < b.at; });
    return entries;
}

} // namespace

QString LogKindKey(LogEntry::Kind kind)
{
    return kKindKeys[std::size_t(kind)].toString();
}

LogEntry NewLogEntry(LogEntry::Kind kind, qint32 registration)
{
    LogEntry entry;
    entry.kind = kind;
    entry.registration = registration;
    entry.at = QDateTime::currentDateTimeUtc();
    entry.user = userName();
    entry.host = QSysInfo::machineHostName();
    return entry;
}

LogEntries ReadLog(TIBQuery& query, std::optional<qint32> registration)
{
    return readEntries(query, registration, false);
}

LogEntries ReadAccepts(TIBQuery& query, qint32 registration)
{
    return readEntries(query, registration, true);
}

void WriteLogEntry(TIBQuery& query, const LogEntry& entry)
{
    if (!kept(query))
        return;
    const bool check = entry.kind == LogEntry::Check;
    auto number = [&](qint32 value) { return check ? QVariant(value) : QVariant(QString()); };
    query.executeStatement(
        Statement(u"insert into event_log (tab_id,kind,logged_at,user_name,host_name,deleted_count,moved_count,"
                  u"new_count,changed_count,not_examined_count,unexplained_count,status_bits,seal,names) values (")
            .number(entry.registration)
            .sql(u",")
            .quoted(LogKindKey(entry.kind))
            .sql(u",")
            .quoted(entry.at.toUTC().toString(Qt::ISODateWithMs))
            .sql(u",")
            .quoted(entry.user.left(255))
            .sql(u",")
            .quoted(entry.host.left(255))
            .sql(u",")
            .value(number(entry.deleted))
            .sql(u",")
            .value(number(entry.moved))
            .sql(u",")
            .value(number(entry.added))
            .sql(u",")
            .value(number(entry.changed))
            .sql(u",")
            .value(number(entry.notExamined))
            .sql(u",")
            .value(check ? optionalNumber(entry.unexplained) : QVariant(QString()))
            .sql(u",")
            .value(number(entry.status))
            .sql(u",")
            .value(check ? QVariant(entry.seal) : QVariant(QString()))
            .sql(u",")
            .bytes(check || entry.names.isEmpty() ? QByteArray() : packNames(entry.names))
            .sql(u")"));
}

void DeleteLog(TIBQuery& query, qint32 registration)
{
    if (kept(query))
        query.executeStatement(Statement(u"delete from event_log where tab_id=").number(registration));
}

bool MayWriteLog(TIBQuery& query)
{
    if (!kept(query))
        return false;
    // The owner of the database or of the table, the administrator, or an
    // account the right to insert was granted to, itself or by its role or
    // to everyone; and never on a read-only database, which refuses all.
    const std::optional<qint32> may = Scalar(
        query,
        Statement(u"select count(*) from mon$database d, rdb$relations r where d.mon$read_only=0"
                  u" and r.rdb$relation_name='EVENT_LOG' and (current_user in ('SYSDBA', d.mon$owner,"
                  u" r.rdb$owner_name) or current_role='RDB$ADMIN' or exists (select 1 from rdb$user_privileges p"
                  u" where p.rdb$relation_name='EVENT_LOG' and p.rdb$privilege='I'"
                  u" and p.rdb$user in (current_user, current_role, 'PUBLIC')))"));
    return may.value_or(0) > 0;
}
