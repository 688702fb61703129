#pragma once

class QApplication;
class QIcon;

// What a desktop user expects of the window program besides its windows: the
// program's own icon on every window (the installed one from the icon theme,
// else the copy built in), and Qt's Russian translations of its standard
// buttons ("Да", "Нет", "Отмена"), where Debian's package installed them; a
// missing translation changes nothing else.
void InstallDesktopLook(QApplication& application);

// The program's icon.
QIcon ProgramIcon();
