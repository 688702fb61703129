#include "cli/sum_command.h"

#include "bits/file_access.h"
#include "bits/file_checksums.h"
#include "cli/exit_status.h"
#include "common/exception.h"
#include "common/file_name_codec.h"
#include "common/shown_name.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The checksum engine has one fixed text for every failure; a file this user
// may not read is told as such.
QString failureText(const QString& file, const Exception& error)
{
    const int fd = OpenForReading(EncodeFileName(file), O_RDONLY | O_NONBLOCK);
    const int why = errno;
    if (fd >= 0)
        ::close(fd);
    else if (why == EACCES || why == EPERM)
        return QStringLiteral("Нет доступа на чтение файла: ") + ShownName(file);
    return error.message();
}

} // namespace

int runSum(const QStringList& files, QTextStream& out, QTextStream& err)
{
    int status = kExitSuccess;
    for (const QString& file : files) {
        try {
            const FileDigests read = FileChecksumsAndDigest(file);
            out << read.sums.crc1 << ' ' << read.sums.crc2 << ' ' << DigestHex(read.sha256) << ' ' << file << '\n';
        } catch (const Exception& error) {
            // One unreadable file must not hide the sums of the others.
            err << failureText(file, error) << '\n';
            status = kExitFailure;
        }
    }
    out.flush();
    err.flush();
    return status;
}
