#pragma once

#include "check/report_form.h"
#include "registration/open_dir.h"
#include "shell/about_form.h"
#include "shell/error_display.h"
#include "shell/main_form.h"
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
    {
        SetErrorSinkForTests([this](const QString& text) { errors.append(text); });
        main_form = std::make_unique<Tmain_form>(DM1);
        open_dir = new Topen_dir(main_form.get());
        report_form = new Treport_form(main_form.get());
        about_form = new Tabout_form(main_form.get());
        main_form->setWindows(open_dir, report_form, about_form);
    }
    ~Program() { SetErrorSinkForTests({}); }

    QStringList errors;
    TDM1 DM1;
    std::unique_ptr<Tmain_form> main_form;
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
