#include "shell/progress_window.h"

#include "common/command_stop.h"
#include "common/shown_name.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>

namespace {

// A progress dialog that only its cancel button and Escape end; the command
// itself is then asked to stop, and ends at its next file or row.
class TProgressDialog : public QProgressDialog {
public:
    using QProgressDialog::QProgressDialog;

protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape)
            CommandStop::ask();
        event->accept();
    }
    void reject() override {}
};

constexpr int kEventsEveryMs = 40;

} // namespace

ProgressWindow::ProgressWindow(QWidget* parent, QString command) : m_parent(parent), m_command(std::move(command))
{
    m_started.start();
    m_sinceEvents.start();
}

ProgressWindow::~ProgressWindow()
{
    delete m_dialog;
}

bool ProgressWindow::due()
{
    if (m_sinceEvents.elapsed() < kEventsEveryMs)
        return false;
    m_sinceEvents.restart();
    return true;
}

void ProgressWindow::showWalking(const QString& dir, qint64 recorded)
{
    if (!due())
        return;
    const QString elided = QFontMetrics(QApplication::font()).elidedText(ShownName(dir), Qt::ElideMiddle, 420);
    update(QStringLiteral("%1\nФайлов: %2\n%3").arg(m_command).arg(recorded).arg(elided), 0, 0);
}

void ProgressWindow::showJudging(const QString& pass, qint64 done, qint64 total)
{
    if (!due())
        return;
    update(QStringLiteral("%1\n%2: %3 из %4").arg(m_command, pass).arg(done).arg(total), done, total);
}

void ProgressWindow::update(const QString& text, qint64 done, qint64 total)
{
    if (m_started.elapsed() >= showAfterMs) {
        if (!m_dialog) {
            m_dialog = new TProgressDialog(m_parent);
            m_dialog->setObjectName(QStringLiteral("ProgressWindow"));
            m_dialog->setWindowTitle(m_command);
            // The label shows directories' names, which may hold markup.
            auto* label = new QLabel(m_dialog);
            label->setObjectName(QStringLiteral("ProgressLabel"));
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::Alignment(
                m_dialog->style()->styleHint(QStyle::SH_ProgressDialog_TextLabelAlignment, nullptr, m_dialog)));
            m_dialog->setLabel(label);
            auto* cancel = new QPushButton(QStringLiteral("Отмена"), m_dialog);
            cancel->setObjectName(QStringLiteral("CancelButton"));
            m_dialog->setCancelButton(cancel);
            // The dialog would hide itself on cancel; it stays until the command has stopped.
            QObject::disconnect(m_dialog, SIGNAL(canceled()), m_dialog, SLOT(cancel()));
            QObject::connect(m_dialog, &QProgressDialog::canceled, [] { CommandStop::ask(); });
            // The dialog makes an Escape shortcut of its own for each cancel
            // button it is given, its first one and this; two shortcuts on one
            // key are ambiguous, and neither then fires. One of ours instead.
            for (QShortcut* shortcut : m_dialog->findChildren<QShortcut*>())
                shortcut->setEnabled(false);
            new QShortcut(QKeySequence::Cancel, m_dialog, [] { CommandStop::ask(); });
            m_dialog->setWindowModality(Qt::ApplicationModal);
            m_dialog->setMinimumDuration(0);
            m_dialog->setAutoClose(false);
            m_dialog->setAutoReset(false);
            m_dialog->setMinimumWidth(460);
            m_dialog->show();
            // Keys reach the window that has the focus, and none has it
            // unless asked for: without this, Escape would go nowhere.
            m_dialog->raise();
            m_dialog->activateWindow();
        }
        m_dialog->setLabelText(text);
        // A range of 0..0 is a busy bar, for while the total is not known.
        const int scale = total > 0 ? 1000 : 0;
        m_dialog->setRange(0, scale);
        m_dialog->setValue(total > 0 ? int(done * scale / total) : 0);
    }
    // Once the modal window shows, input reaches it alone.
    QApplication::processEvents(m_dialog ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}
