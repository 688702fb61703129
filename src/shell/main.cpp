#include "shell/application.h"
#include "shell/command_line.h"
#include "shell/window_program.h"

int main(int argc, char** argv)
{
    const std::variant<int, WindowOptions> commandLine = ReadWindowCommandLine(argc, argv);
    if (const int* status = std::get_if<int>(&commandLine))
        return *status;
    TApplication application(argc, argv);
    return RunWindowProgram(application, std::get<WindowOptions>(commandLine));
}
