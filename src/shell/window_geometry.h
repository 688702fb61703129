#pragma once

#include <QString>

class QWidget;

// Keeps window's size and place where the user leaves them, in the user's
// settings (~/.config/kvaren/kvaren.conf) under name: restored now, where
// there are any (else the window keeps the geometry it was given, the first
// start's), and saved each time the window is hidden.
void RememberGeometry(QWidget& window, const QString& name);
