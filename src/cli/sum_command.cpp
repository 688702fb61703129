#include "cli/sum_command.h"

#include "bits/file_checksums.h"
#include "cli/exit_status.h"
#include "common/exception.h"

int runSum(const QStringList& files, QTextStream& out, QTextStream& err)
{
    int status = kExitSuccess;
    for (const QString& file : files) {
        try {
            const FileSums sums = FileChecksums(file);
            out << sums.crc1 << ' ' << sums.crc2 << ' ' << file << '\n';
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
