#pragma once

#include <QString>
#include <functional>

class QWidget;

// The application's one error display: a message box with the error icon and
// the application's title as caption. Every error that ends a command or a
// window event comes here.
void ShowError(const QString& message);

// The text the display shows: a full stop is added when the text's last
// character sorts after ".".
QString ErrorDisplayText(const QString& message);

// Runs body, showing any error it raises; returns whether it ran to its end.
// A command stopped on request (ECommandStopped) is shown as nothing.
// Every handler that Qt calls is run through this, so that no exception
// crosses Qt's event loop.
bool RunShowingErrors(const std::function<void()>& body);

// Replaces the message box, for tests; an empty function restores it.
void SetErrorSinkForTests(std::function<void(const QString&)> sink);

// The application's title: the caption of its message boxes.
QString ApplicationTitle();
