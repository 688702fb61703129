#include "shell/application.h"

#include "shell/desktop_look.h"
#include "shell/error_display.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("kvaren"));
    InstallDesktopLook(*this);
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    RunShowingErrors([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
