#pragma once

#include "shell/error_display.h"
#include "shell/program_windows.h"
#include "storage/dm1.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

// The program's windows, created in start-up order on file.gdb in the working
// directory, with errors collected instead of shown in a message box.
struct Program {
    Program()
        : sink([this](const QString& text) { errors.append(text); }), windows(DM1), main_form(&windows.main_form),
          open_dir(&windows.open_dir), report_form(&windows.report_form), about_form(&windows.about_form)
    {
    }

    // Collects errors from before the windows are made until after they go.
    struct ErrorSink {
        explicit ErrorSink(std::function<void(const QString&)> collect) { SetErrorSinkForTests(std::move(collect)); }
        ~ErrorSink() { SetErrorSinkForTests({}); }
    };

    QStringList errors;
    ErrorSink sink;
    TDM1 DM1;
    TProgramWindows windows;
    Tmain_form* main_form;
    Topen_dir* open_dir;
    Treport_form* report_form;
    Tabout_form* about_form;
};

// Runs act on the modal window once it is open (modal windows run their own
// event loop, so the test acts from a timer).
inline void whenModalOpens(const std::function<void(QWidget*)>& act)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}
