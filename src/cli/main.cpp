#include "cli/commands.h"
#include "cli/exit_status.h"
#include "common/exception.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    Console console{out, err, isatty(STDERR_FILENO) == 1};
    try {
        return RunCommand(app.arguments().mid(1), console);
    } catch (const Exception& error) {
        out.flush();
        err << error.message() << '\n';
    } catch (const std::exception& error) {
        out.flush();
        err << QString::fromLocal8Bit(error.what()) << '\n';
    }
    return kExitFailure;
}
