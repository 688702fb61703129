#pragma once

#include "check/report_form.h"
#include "registration/open_dir.h"
#include "shell/about_form.h"
#include "shell/main_form.h"

#include "storage/dm1.h"

// The program's windows, created once at start-up in this order (the main
// window connecting to the database as it is made) and kept until the program
// ends: dialogs are only hidden between showings, so what they hold survives.
struct TProgramWindows {
    explicit TProgramWindows(TDM1& dm, const QString& databaseName = kDatabaseFileName)
        : main_form(dm, nullptr, databaseName), open_dir(&main_form), report_form(&main_form), about_form(&main_form)
    {
        main_form.setWindows(&open_dir, &report_form, &about_form);
    }

    Tmain_form main_form;
    Topen_dir open_dir;
    Treport_form report_form;
    Tabout_form about_form;
};
