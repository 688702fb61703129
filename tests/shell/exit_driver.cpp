// Loaded into the real program (LD_PRELOAD) by program_exit_test.cpp: once the
// main window shows, selects its first line and triggers the actions that
// KVAREN_PRESS names, comma-separated, in that order.

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QListWidget>
#include <QTimer>
#include <QWidget>

namespace {

void pressWhenShown()
{
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer] {
        QWidget* form = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == u"main_form" && widget->isVisible())
                form = widget;
        if (!form)
            return;
        timer->stop();
        if (auto* list = form->findChild<QListWidget*>(QStringLiteral("ListBox1")); list && list->count() > 0)
            list->setCurrentRow(0);
        for (const QString& name : qEnvironmentVariable("KVAREN_PRESS").split(u',', Qt::SkipEmptyParts))
            if (auto* action = form->findChild<QAction*>(name))
                action->trigger();
    });
    timer->start();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(pressWhenShown)
