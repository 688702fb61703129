#include "shell/application.h"
#include "shell/command_line.h"
#include "shell/window_program.h"

int main(int argc, char** argv)
{
    if (const std::optional<int> status = AnswerCommandLine(argc, argv))
        return *status;
    TApplication application(argc, argv);
    return RunWindowProgram(application);
}
