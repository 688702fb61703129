#include "check/report_form.h"
#include "registration/open_dir.h"
#include "shell/about_form.h"
#include "shell/application.h"
#include "shell/error_display.h"
#include "shell/main_form.h"
#include "storage/dm1.h"

int main(int argc, char** argv)
{
    TApplication application(argc, argv);
    int status = 1;
    // Creating the storage object can fail (no database client); the error is
    // shown and the program ends before any window opens.
    RunShowingErrors([&] {
        TDM1 DM1;
        Tmain_form main_form(DM1);
        Topen_dir open_dir(&main_form);
        Treport_form report_form(&main_form);
        Tabout_form about_form(&main_form);
        main_form.setWindows(&open_dir, &report_form, &about_form);
        main_form.show();
        status = application.exec();
        // The exit command leaves the transaction active: commit it, as the
        // program always does when it ends.
        RunShowingErrors([&] { DM1.finish(); });
    });
    return status;
}
