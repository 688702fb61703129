#pragma once

#include "shell/command_line.h"

class QApplication;

// The window program's life on application, with the options its command line
// gave: the storage object and the windows, the event loop until the exit
// command or an ending signal (SIGTERM, SIGINT, SIGHUP, which first stop a
// running command as "Отмена" does), and the commit of the open transaction
// on the way out. Returns the exit status.
int RunWindowProgram(QApplication& application, const WindowOptions& options);
