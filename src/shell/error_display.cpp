#include "shell/error_display.h"

#include "common/command_stop.h"

#include <QApplication>
#include <QMessageBox>

static std::function<void(const QString&)>& errorSink()
{
    static std::function<void(const QString&)> sink;
    return sink;
}

QString ApplicationTitle()
{
    return QStringLiteral("Кварен");
}

QString ErrorDisplayText(const QString& message)
{
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

void ShowError(const QString& message)
{
    const QString text = ErrorDisplayText(message);
    if (errorSink()) {
        errorSink()(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorBox"));
    // A message names files, and a file may be named "<font size=7>ВСЁ ЧИСТО".
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool RunShowingErrors(const std::function<void()>& body)
{
    try {
        body();
        return true;
    } catch (const ECommandStopped&) {
        // Stopped on request and undone: there is nothing to tell.
    } catch (const Exception& error) {
        ShowError(error.message());
    } catch (const std::bad_alloc&) {
        ShowError(QStringLiteral("Недостаточно памяти"));
    } catch (const std::exception& error) {
        ShowError(QString::fromLocal8Bit(error.what()));
    }
    return false;
}

void SetErrorSinkForTests(std::function<void(const QString&)> sink)
{
    errorSink() = std::move(sink);
}
