#include "shell/application.h"
#include "shell/window_program.h"

int main(int argc, char** argv)
{
    TApplication application(argc, argv);
    return RunWindowProgram(application);
}
