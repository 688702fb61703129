#pragma once

#include <QIcon>
#include <QList>

// The tool bar's five 16x16 pictures, in the order of its buttons: put under
// control, take out of control, check, help, exit.
QList<QIcon> ImageList1();
