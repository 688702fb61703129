#include "cli/system_init.h"

#include "cli/console_progress.h"
#include "common/shown_name.h"
#include "registration/extension_list.h"
#include "registration/put_under_control.h"
#include "rows/registration.h"
#include "storage/dm1.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <sys/stat.h>

namespace {

// Why dir cannot be put under control as it stands, or nothing. Looked at
// without following a link: a walk would refuse one at its last name.
QString notADirectory(const QString& dir)
{
    struct stat status {};
    if (lstat(QFile::encodeName(dir).constData(), &status) != 0)
        return QStringLiteral("нет такой директории");
    if (S_ISLNK(status.st_mode))
        return QStringLiteral("символическая ссылка");
    if (!S_ISDIR(status.st_mode))
        return QStringLiteral("не директория");
    return QString();
}

// A word as a shell takes it back: quoted when it holds anything but the
// characters of ordinary paths.
QString shellWord(const QString& word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:@%+=-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    QString quoted = word;
    return u'\'' + quoted.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

const QString kBuiltInList = QStringLiteral(":/cli/system-directories");

} // namespace

QString SystemDirectoriesFile(const QStringList& given)
{
    if (!given.isEmpty())
        return given.first();
    struct stat status {};
    if (lstat(kSystemDirectoriesFile, &status) == 0)
        return QString::fromLatin1(kSystemDirectoriesFile);
    return kBuiltInList;
}

QString SystemDirectoriesFileText(const QString& file)
{
    if (file == kBuiltInList)
        return QStringLiteral("встроенный в программу (нет %1)").arg(QLatin1StringView(kSystemDirectoriesFile));
    return ShownName(file);
}

RecordedChange PutListUnderControl(TDM1& dm, const QStringList& directories, Console& console)
{
    QHash<QString, QString> controlled; // directory → its file types
    for (const Registration& registration : ReadRegistrations(dm.IBQuery1))
        if (!controlled.contains(registration.dir))
            controlled.insert(registration.dir, registration.list);
    const QString everyFile = BuildExtensionList({}, {});
    RecordedChange recorded;
    for (const QString& dir : directories) {
        if (controlled.contains(dir)) {
            const QString types = controlled.value(dir);
            console.out << QStringLiteral("Уже на учете: ") << ShownName(dir)
                        << (types == everyFile ? QString() : QStringLiteral(" (типы файлов: %1)").arg(types)) << '\n';
            continue;
        }
        if (const QString reason = notADirectory(dir); !reason.isEmpty()) {
            console.out << QStringLiteral("Пропущено, ") << reason << QStringLiteral(": ") << ShownName(dir) << '\n';
            continue;
        }
        RecordedChange added;
        {
            ConsoleProgress progress(console.err, console.errIsTerminal, QStringLiteral("Постановка на учет"));
            added = PutUnderControl(dm, dir, everyFile, &progress);
        }
        recorded.registrations.unite(added.registrations);
        recorded.notExamined.append(added.notExamined);
        controlled.insert(dir, everyFile);
        console.out << QStringLiteral("Поставлено на учет: ") << ShownName(dir) << '\n';
        console.out.flush();
    }
    return recorded;
}

QString SystemInitClosing(const QString& database, qint64 elapsedMs, bool etcUnderControl)
{
    const QString seconds = QString::number(double(elapsedMs) / 1000, 'f', 1).replace(u'.', u',');
    const QString named = QStringLiteral("kvaren-cli --database ") + shellWord(database);
    const QString publicKey = QStringLiteral("/etc/kvaren/seal.pub");
    QString text = QStringLiteral("Готово за %1 с.\nДальше:\n").arg(seconds);
    text += QStringLiteral("  запечатать базу данных (закрытый ключ храните и вне этой машины):\n");
    if (!QFileInfo::exists(publicKey)) {
        text += QStringLiteral("    install -d -m 755 /etc/kvaren\n"
                               "    kvaren-cli key /root/seal.key /etc/kvaren/seal.pub\n");
        if (etcUnderControl)
            text += QStringLiteral("    ") + named + QStringLiteral(" update /etc ") + publicKey + u'\n';
    }
    text += QStringLiteral("    ") + named + QStringLiteral(" seal /root/seal.key\n  проверить сейчас:\n    ") + named
        + QStringLiteral(" check --unexplained --all\n");
    if (database == QLatin1StringView(kSystemDatabase))
        text += QStringLiteral("  ежедневная проверка (отчет в журнале и, если есть sendmail, почтой root):\n"
                               "    systemctl enable --now kvaren-check.timer\n"
                               "  следить за изменениями непрерывно:\n"
                               "    systemctl enable --now kvaren-watch.service\n");
    return text;
}
