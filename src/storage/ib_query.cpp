#include "storage/ib_query.h"

#include "storage/database_error.h"
#include "storage/ib_database.h"
#include "storage/ib_transaction.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cstring>

TIBQuery::TIBQuery(TIBDatabase& database, TIBTransaction& transaction)
    : m_database(database), m_transaction(transaction)
{
    m_transaction.attach(this);
}

TIBQuery::~TIBQuery()
{
    m_transaction.detach(this);
}

void TIBQuery::close()
{
    if (m_current)
        m_current->finish();
    m_current = nullptr;
    m_columns = QSqlRecord();
    m_row.clear();
    m_active = false;
    m_hasRow = false;
}

void TIBQuery::addSql(const Statement& statement)
{
    // Statements are always one line: adding to a cleared text sets it.
    m_sql = statement;
}

void TIBQuery::open()
{
    if (m_active)
        return;
    run(true);
}

void TIBQuery::execSql()
{
    close();
    run(false);
}

void TIBQuery::openStatement(const Statement& statement)
{
    close();
    clearSql();
    addSql(statement);
    open();
}

void TIBQuery::executeStatement(const Statement& statement)
{
    close();
    clearSql();
    addSql(statement);
    execSql();
}

TIBQuery::Prepared& TIBQuery::prepared(const Statement& statement)
{
    // A batch's shape runs to many kilobytes and a walk alternates a few of
    // them: comparing with the last few shapes run is much cheaper than
    // hashing the shape again.
    const QString& shape = statement.shape();
    for (const auto& [recentShape, recent] : m_recent)
        if (recent && recentShape->size() == shape.size()
            && std::memcmp(recentShape->constData(), shape.constData(), std::size_t(shape.size()) * sizeof(QChar)) == 0)
            return *recent;
    auto found = m_prepared.find(shape);
    if (found == m_prepared.end()) {
        auto query = std::make_unique<QSqlQuery>(m_database.handle());
        query->setForwardOnly(true);
        if (!query->prepare(shape))
            fail(*query);
        ++m_prepareCount;
        std::vector<int> textBytes = TextParameterBytes(*query);
        const CursorlessStatement cursorless = CursorlessHandle(*query);
        found = m_prepared.emplace(shape, Prepared{std::move(query), std::move(textBytes), cursorless, {}}).first;
    }
    std::move_backward(m_recent.begin(), m_recent.end() - 1, m_recent.end());
    m_recent.front() = {&found->first, &found->second};
    return found->second;
}

void TIBQuery::checkTextLengths(const Prepared& prepared) const
{
    const QVariantList& values = m_sql.values();
    const auto count = std::min<std::size_t>(std::size_t(values.size()), prepared.textBytes.size());
    for (std::size_t i = 0; i < count; ++i) {
        const int most = prepared.textBytes[i];
        if (most < 0 || values[qsizetype(i)].typeId() != QMetaType::QString)
            continue;
        const QString text = values[qsizetype(i)].toString();
        // No UTF-16 unit takes more than three bytes of UTF-8: most texts
        // are settled without being converted.
        if (text.size() * 3 <= most)
            continue;
        const qsizetype bytes = text.toUtf8().size();
        if (bytes > most)
            throw EDatabaseError(QStringLiteral("Текст длиной %1 байт не помещается в поле базы данных, вмещающее %2: %3")
                                     .arg(bytes)
                                     .arg(most)
                                     .arg(text));
    }
}

TIBQuery::Prepared& TIBQuery::start(bool returnsRows)
{
    if (m_sql.isEmpty())
        throw EDatabaseError(QStringLiteral("Текст запроса пуст"));
    if (!m_database.connected())
        throw EDatabaseError(QStringLiteral("Нет соединения с базой данных"));
    if (!m_transaction.active())
        throw EDatabaseError(QStringLiteral("Транзакция не начата"));

    Prepared& statement = prepared(m_sql);
    checkTextLengths(statement);
    QSqlQuery& query = *statement.query;
    const QVariantList& values = m_sql.values();
    QVariantList& bound = BoundValues(query);
    if (bound.size() == values.size()) {
        // Every position is bound from the first run on: see BoundValues.
        for (qsizetype i = 0; i < values.size(); ++i)
            bound[i] = values[i];
    } else {
        for (qsizetype i = 0; i < values.size(); ++i)
            query.bindValue(int(i), values[i]);
    }
    PrepareCursorlessRun(statement.cursorless);
    if (!returnsRows)
        m_transaction.noteDataChanged(); // even when it fails: part of it may have run
    if (!query.exec())
        fail(query);
    if (!returnsRows)
        query.finish();
    return statement;
}

void TIBQuery::run(bool returnsRows)
{
    Prepared& statement = start(returnsRows);
    if (!returnsRows)
        return;
    QSqlQuery& query = *statement.query;
    m_current = &query;
    m_active = true;
    // Without a row the record still names the columns. A shape's columns
    // stay the same, and building the record anew for every row is costly.
    if (!statement.columns)
        statement.columns = query.record();
    m_columns = *statement.columns;
    m_hasRow = fetch(query);
    if (m_hasRow)
        keepRow();
}

unsigned int TIBQuery::openForCursor(const Statement& statement)
{
    close();
    m_sql = statement;
    Prepared& prepared = start(true);
    m_current = prepared.query.get();
    m_active = true;
    const unsigned int handle = StatementHandleOf(*prepared.query);
    if (handle == 0) {
        close();
        throw EDatabaseError(QStringLiteral("Драйвер базы данных не дает описателя запроса"));
    }
    return handle;
}

bool TIBQuery::next()
{
    if (!m_active)
        throw EDatabaseError(QStringLiteral("Запрос закрыт"));
    if (!m_hasRow || !fetch(*m_current))
        return false; // on the last row: stay there
    keepRow();
    return true;
}

bool TIBQuery::fetch(QSqlQuery& query)
{
    if (query.next())
        return true;
    // The driver ends the rows on a row it failed to read as on the last one:
    // rows left unread would read as files gone.
    if (query.lastError().isValid())
        fail(query);
    return false;
}

void TIBQuery::keepRow()
{
    // The values are kept, since a forward-only result forgets its last row
    // once asked for one more.
    const int count = m_columns.count();
    m_row.resize(count);
    for (int i = 0; i < count; ++i)
        m_row[i] = m_current->value(i);
}

void TIBQuery::fail(const QSqlQuery& query)
{
    EDatabaseError error = EDatabaseError::fromSql(query.lastError(), m_database.shownName());
    close();
    throw error;
}

QVariant TIBQuery::fieldByName(const QString& name) const
{
    return field(fieldIndex(name));
}

int TIBQuery::fieldIndex(const QString& name) const
{
    if (!m_active)
        throw EDatabaseError(QStringLiteral("Поле «%1» недоступно: запрос закрыт").arg(name));
    int index = m_columns.indexOf(name);
    if (index < 0)
        throw EDatabaseError(QStringLiteral("Поле «%1» не найдено").arg(name));
    return index;
}

const QVariant& TIBQuery::field(int index) const
{
    static const QVariant null;
    if (!m_hasRow)
        return null;
    return m_row.at(index);
}

static EDatabaseError notAnInteger(const QVariant& value, const QString& name)
{
    return EDatabaseError(QStringLiteral("Значение поля «%1» не является целым числом: «%2»").arg(name, value.toString()));
}

static qint64 toLargeInt(const QVariant& value, const QString& name)
{
    // An integer column of either width needs no round trip through its text.
    if (!value.isNull() && (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong))
        return value.toLongLong();
    bool ok = false;
    const qint64 result = value.toString().toLongLong(&ok);
    if (!ok)
        throw notAnInteger(value, name);
    return result;
}

static qint32 toInteger(const QVariant& value, const QString& name)
{
    const qint64 result = toLargeInt(value, name);
    if (result != qint32(result))
        throw notAnInteger(value, name);
    return qint32(result);
}

qint32 TIBQuery::fieldAsInteger(const QString& name) const
{
    return toInteger(fieldByName(name), name);
}

qint32 TIBQuery::fieldAsInteger(int index) const
{
    const QVariant& value = field(index);
    // An integer column needs no round trip through its text.
    if (value.typeId() == QMetaType::Int && !value.isNull())
        return value.toInt();
    return toInteger(value, m_columns.fieldName(index));
}

qint64 TIBQuery::fieldAsLargeInt(const QString& name) const
{
    return toLargeInt(fieldByName(name), name);
}

qint64 TIBQuery::fieldAsLargeInt(int index) const
{
    return toLargeInt(field(index), m_columns.fieldName(index));
}

QString TIBQuery::fieldAsString(const QString& name) const
{
    return fieldByName(name).toString();
}

void TIBQuery::releaseStatements()
{
    close();
    m_recent = {};
    m_prepared.clear();
}

std::optional<qint32> Scalar(TIBQuery& query, const Statement& statement)
{
    query.openStatement(statement);
    const std::optional<qint32> value = query.field(0).isNull() ? std::nullopt : std::optional(query.fieldAsInteger(0));
    query.close();
    return value;
}
