// Throughput of the file checksums on one file, which should be in the page
// cache: checksums_bench FILE [REFERENCE_FILE]. The step-by-step reference
// functions run on REFERENCE_FILE (a prefix of FILE, say) when it is given,
// since they take minutes on large files; their figure then stands for FILE
// by extrapolation, as the output says.

#include "bits/file_checksums.h"
#include "support/reference/bits_reference_checksums.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <chrono>
#include <functional>

namespace {

// The best of a few runs, in seconds: the others include page-cache misses,
// frequency changes and other programs.
double bestSeconds(int runs, const std::function<void()>& run)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
}

volatile qint32 g_sink; // keeps the results alive

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.size() > 2) {
        out << "usage: checksums_bench FILE [REFERENCE_FILE]\n";
        return 2;
    }
    const QString file = args[0];
    const QString referenceFile = args.size() == 2 ? args[1] : file;
    const double bytes = double(QFileInfo(file).size());
    const double referenceBytes = double(QFileInfo(referenceFile).size());
    const auto report = [&](const char* what, double seconds, double size, const QString& note) {
        out << qSetFieldWidth(34) << Qt::left << what << qSetFieldWidth(10) << Qt::right
            << QString::number(size / seconds / 1e6, 'f', 0) << qSetFieldWidth(0) << " MB/s" << note << '\n';
        out.flush();
    };

    out << "file " << file << ": " << QString::number(bytes / (1 << 20), 'f', 0) << " MiB, page-cached\n";
    report("FileCrc16", bestSeconds(5, [&] { g_sink = FileCrc16(file); }), bytes, {});
    report("FileXor32", bestSeconds(5, [&] { g_sink = FileXor32(file); }), bytes, {});
    report("FileChecksums (both, one read)",
           bestSeconds(5, [&] { const FileSums s = FileChecksums(file); g_sink = s.crc1 ^ s.crc2; }), bytes, {});
    const QString note = referenceFile == file
        ? QString()
        : QStringLiteral("  (measured on a %1 MiB prefix, extrapolated)")
              .arg(QString::number(referenceBytes / (1 << 20), 'f', 0));
    report("FileCrc16Reference", bestSeconds(1, [&] { g_sink = FileCrc16Reference(referenceFile); }),
           referenceBytes, note);
    report("FileXor32Reference", bestSeconds(1, [&] { g_sink = FileXor32Reference(referenceFile); }),
           referenceBytes, note);
    return 0;
}
