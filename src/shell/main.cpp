#include "shell/application.h"
#include "shell/command_line.h"
#include "shell/error_display.h"
#include "shell/program_windows.h"
#include "storage/dm1.h"

int main(int argc, char** argv)
{
    if (const std::optional<int> status = AnswerHelpOrVersion(argc, argv))
        return *status;
    TApplication application(argc, argv);
    int status = 1;
    // Creating the storage object can fail (no database client); the error is
    // shown and the program ends before any window opens.
    RunShowingErrors([&] {
        TDM1 DM1;
        TProgramWindows windows(DM1);
        windows.main_form.show();
        status = application.exec();
        // The exit command leaves the transaction active: commit it, as the
        // program always does when it ends.
        RunShowingErrors([&] { DM1.finish(); });
    });
    return status;
}
