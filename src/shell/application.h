#pragma once

#include <QApplication>

// The desktop application. Handlers run through RunShowingErrors; should an
// exception still reach Qt's event dispatch, it is shown here instead of
// crossing the event loop.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
