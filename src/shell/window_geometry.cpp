#include "shell/window_geometry.h"

#include <QEvent>
#include <QSettings>
#include <QWidget>

namespace {

// In ~/.config/kvaren/kvaren.conf, whatever the program calls itself.
const QString kOrganization = QStringLiteral("kvaren");
const QString kApplication = QStringLiteral("kvaren");

QString key(const QString& name)
{
    return QStringLiteral("windows/") + name;
}

// Saves its window's geometry as the window is hidden (closed, or a dialog
// ended), while it still has it.
class GeometryKeeper : public QObject {
public:
    GeometryKeeper(QWidget& window, QString name)
        : QObject(&window)
        , m_name(std::move(name))
    {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide) {
            QSettings settings(kOrganization, kApplication);
            settings.setValue(key(m_name), static_cast<QWidget*>(watched)->saveGeometry());
        }
        return false;
    }

private:
    QString m_name;
};

} // namespace

void RememberGeometry(QWidget& window, const QString& name)
{
    const QSettings settings(kOrganization, kApplication);
    const QByteArray saved = settings.value(key(name)).toByteArray();
    if (!saved.isEmpty())
        window.restoreGeometry(saved);
    new GeometryKeeper(window, name);
}
