#include "check/field_caption.h"

#include "check/report_text.h"

#include <QHash>

namespace {

// A file's type as FileTypeName gives it, in Russian.
QString typeCaption(const QString& type)
{
    static const QHash<QString, QString> captions{
        {QStringLiteral("file"), QStringLiteral("обычный файл")},
        {QStringLiteral("link"), QStringLiteral("символьная ссылка")},
        {QStringLiteral("directory"), QStringLiteral("директория")},
        {QStringLiteral("fifo"), QStringLiteral("канал (FIFO)")},
        {QStringLiteral("socket"), QStringLiteral("сокет")},
        {QStringLiteral("block device"), QStringLiteral("блочное устройство")},
        {QStringLiteral("character device"), QStringLiteral("символьное устройство")},
        {QStringLiteral("unknown"), QStringLiteral("неизвестный")},
    };
    return captions.value(type, type);
}

QString shownValue(const QString& key, const QJsonValue& value, bool name)
{
    if (key == u"type" && value.isString())
        return typeCaption(value.toString());
    return ShownFieldValue(value, name);
}

} // namespace

QString FieldCaption(const QString& key)
{
    // The keys ShownFingerprint gives, and the row's size before them.
    static const QHash<QString, QString> captions{
        {QStringLiteral("size"), QStringLiteral("размер")},
        {QStringLiteral("type"), QStringLiteral("тип")},
        {QStringLiteral("mode"), QStringLiteral("права")},
        {QStringLiteral("uid"), QStringLiteral("владелец (uid)")},
        {QStringLiteral("user"), QStringLiteral("владелец")},
        {QStringLiteral("gid"), QStringLiteral("группа (gid)")},
        {QStringLiteral("group"), QStringLiteral("группа")},
        {QStringLiteral("link"), QStringLiteral("ссылка на")},
        {QStringLiteral("sha256"), QStringLiteral("содержимое (SHA-256)")},
        {QStringLiteral("xattrs"), QStringLiteral("расширенные атрибуты")},
        {QStringLiteral("acl"), QStringLiteral("списки доступа (ACL)")},
        {QStringLiteral("capabilities"), QStringLiteral("привилегии (capabilities)")},
        {QStringLiteral("flags"), QStringLiteral("флаги")},
        {QStringLiteral("device"), QStringLiteral("устройство")},
        {QStringLiteral("links"), QStringLiteral("число имен")},
    };
    return captions.value(key, key);
}

QList<CaptionedField> CaptionedFields(const Finding& finding)
{
    QList<CaptionedField> fields;
    for (const FieldChange& change : finding.changes()) {
        if (change.before.isUndefined() && change.after.isUndefined())
            continue;
        CaptionedField field{change.key, FieldCaption(change.key), shownValue(change.key, change.before, change.name),
                             shownValue(change.key, change.after, change.name)};
        field.differs = field.before != field.after;
        fields.append(std::move(field));
    }
    return fields;
}
