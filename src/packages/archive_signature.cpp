#include "packages/archive_signature.h"

#include "common/exception.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <vector>

namespace {

// The binary keyring inside an OpenPGP armour: the base64 lines between the
// blank line after the headers and the checksum line.
QByteArray Dearmoured(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Не удалось прочитать связку ключей %1: %2").arg(path, file.errorString()));
    QByteArray keys;
    QByteArray body;
    bool inBlock = false;
    bool inBody = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith("-----BEGIN PGP PUBLIC KEY BLOCK-----")) {
            inBlock = true;
            inBody = false;
            body.clear();
        } else if (!inBlock) {
            continue;
        } else if (line.startsWith("-----END PGP PUBLIC KEY BLOCK-----")) {
            keys += QByteArray::fromBase64(body);
            inBlock = false;
        } else if (!inBody) {
            inBody = line.isEmpty();
        } else if (!line.startsWith('=')) {
            body += line;
        }
    }
    if (keys.isEmpty())
        throw Exception(QStringLiteral("В связке ключей %1 нет ни одного ключа").arg(path));
    return keys;
}

// What gpgv's status lines say of each signature in the file, in the order
// they come: each begins with NEWSIG.
struct Signature {
    QByteArray good; // the key id of GOODSIG
    QByteArray fingerprint; // of VALIDSIG
    QByteArray weakDigest;
    QByteArray bad; // BADSIG's key id
    QByteArray unusable; // why it could not be taken: EXPKEYSIG, NO_PUBKEY...
};

std::vector<Signature> ParseStatus(const QByteArray& output)
{
    std::vector<Signature> signatures;
    for (const QByteArray& line : output.split('\n')) {
        if (!line.startsWith("[GNUPG:] "))
            continue;
        const QList<QByteArray> words = line.mid(9).split(' ');
        const QByteArray& keyword = words.first();
        const QByteArray argument = words.size() > 1 ? words[1] : QByteArray();
        if (keyword == "NEWSIG" || signatures.empty())
            signatures.emplace_back();
        Signature& signature = signatures.back();
        if (keyword == "GOODSIG") {
            signature.good = argument;
        } else if (keyword == "VALIDSIG") {
            signature.fingerprint = argument;
            // MD5, SHA-1 and RIPEMD-160 are refused by apt too.
            const QByteArray digest = words.size() > 8 ? words[8] : QByteArray();
            if (digest == "1" || digest == "2" || digest == "3")
                signature.weakDigest = digest;
        } else if (keyword == "BADSIG") {
            signature.bad = argument;
        } else if (keyword == "EXPSIG" || keyword == "EXPKEYSIG" || keyword == "REVKEYSIG" || keyword == "NO_PUBKEY"
            || keyword == "ERRSIG" || keyword == "NODATA") {
            // ERRSIG comes first; NO_PUBKEY, if it follows, says why.
            if (signature.unusable.isEmpty() || signature.unusable.startsWith("ERRSIG"))
                signature.unusable = keyword + ' ' + argument;
        }
    }
    return signatures;
}

} // namespace

ReleaseSignature VerifyClearSigned(const QString& file, const QStringList& keyrings)
{
    ReleaseSignature result;
    if (keyrings.isEmpty()) {
        result.failure = QStringLiteral("нет ни одной доверенной связки ключей");
        return result;
    }
    QTemporaryDir work;
    if (!work.isValid())
        throw Exception(QStringLiteral("Не удалось создать временный каталог для gpgv: %1").arg(work.errorString()));

    QStringList arguments { QStringLiteral("--homedir"), work.path(), QStringLiteral("--status-fd"),
        QStringLiteral("1") };
    int armoured = 0;
    for (const QString& keyring : keyrings) {
        QString binary = keyring;
        if (keyring.endsWith(QLatin1String(".asc"))) {
            binary = work.filePath(QStringLiteral("keyring%1.gpg").arg(++armoured));
            QFile out(binary);
            if (!out.open(QIODevice::WriteOnly) || out.write(Dearmoured(keyring)) < 0)
                throw Exception(QStringLiteral("Не удалось записать %1: %2").arg(binary, out.errorString()));
        }
        arguments << QStringLiteral("--keyring") << binary;
    }
    const QString signedPath = work.filePath(QStringLiteral("signed"));
    arguments << QStringLiteral("--output") << signedPath << file;

    QProcess gpgv;
    gpgv.setProcessChannelMode(QProcess::SeparateChannels);
    gpgv.start(QStringLiteral("gpgv"), arguments, QIODevice::ReadOnly);
    if (!gpgv.waitForFinished(-1) || gpgv.exitStatus() != QProcess::NormalExit)
        throw Exception(QStringLiteral("Не удалось выполнить gpgv: %1").arg(gpgv.errorString()));
    const QByteArray errors = gpgv.readAllStandardError();
    const std::vector<Signature> signatures = ParseStatus(gpgv.readAllStandardOutput());

    // gpgv's exit code is not used: it fails when any one of several
    // signatures cannot be checked, while apt takes one good one. A bad one
    // spoils the file whatever else signed it.
    QStringList unusable;
    const Signature* good = nullptr;
    for (const Signature& signature : signatures) {
        if (!signature.bad.isEmpty()) {
            result.failure = QStringLiteral("подпись неверна (ключ %1)").arg(QString::fromLatin1(signature.bad));
            return result;
        }
        if (!signature.weakDigest.isEmpty())
            unusable << QStringLiteral("слабый хеш (алгоритм %1)").arg(QString::fromLatin1(signature.weakDigest));
        else if (!signature.unusable.isEmpty())
            unusable << QString::fromLatin1(signature.unusable);
        else if (!signature.good.isEmpty() && !signature.fingerprint.isEmpty() && good == nullptr)
            good = &signature;
    }
    if (good == nullptr) {
        result.failure = QStringLiteral("нет годной подписи: %1")
                             .arg(unusable.isEmpty() ? QString::fromLocal8Bit(errors).simplified()
                                                     : unusable.join(QStringLiteral(", ")));
        return result;
    }
    QFile text(signedPath);
    if (!text.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("gpgv не записал подписанный текст %1: %2").arg(file, text.errorString()));
    result.good = true;
    result.signer = QString::fromLatin1(good->fingerprint);
    result.signedText = text.readAll();
    return result;
}
