#include "cli/sum_command.h"

#include "bits/file_checksums.h"
#include "cli/exit_status.h"
#include "common/exception.h"

int runSum(const QStringList& files, QTextStream& out, QTextStream& err)
{
    int status = kExitSuccess;
    for (const QString& file : files) {
        try {
            const FileDigests read = FileChecksumsAndDigest(file);
            out << read.sums.crc1 << ' ' << read.sums.crc2 << ' ' << DigestHex(read.sha256) << ' ' << file << '\n';
        } catch (const Exception& error) {
            // One unreadable file must not hide the sums of the others.
            err << error.message() << '\n';
            status = kExitFailure;
        }
    }
    out.flush();
    err.flush();
    return status;
}
