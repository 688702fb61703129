#include "registration/directory_list_box.h"

#include <QCollator>
#include <QDir>
#include <QKeyEvent>
#include <QStyle>

namespace {

const int kPathRole = Qt::UserRole;

QString parentLevel(const QString& path, qsizetype end)
{
    return end == 0 ? QStringLiteral("/") : path.left(end);
}

} // namespace

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setIconSize(QSize(16, 16));
    connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { openItem(row(item)); });
}

void TDirectoryListBox::setDirectory(const QString& directory)
{
    const QString cleaned = QDir::cleanPath(QDir(directory).absolutePath());
    if (cleaned == m_directory)
        return;
    m_directory = cleaned;
    rebuild();
    emit directoryChanged(m_directory);
}

void TDirectoryListBox::openItem(int row)
{
    if (QListWidgetItem* it = item(row))
        setDirectory(it->data(kPathRole).toString());
}

void TDirectoryListBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openItem(currentRow());
        event->accept(); // opening a directory never ends the dialog
        return;
    }
    QListWidget::keyPressEvent(event);
}

void TDirectoryListBox::rebuild()
{
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The levels of the path, the root first, each indented one step more.
    int depth = 0;
    auto addLevel = [&](const QString& caption, const QString& path, const QIcon& icon) {
        auto* it = new QListWidgetItem(icon, QString(depth * 2, u' ') + caption, this);
        it->setData(kPathRole, path);
        it->setSizeHint(QSize(0, 16));
    };
    addLevel(QStringLiteral("/"), QStringLiteral("/"), open);
    qsizetype start = 1;
    while (start < m_directory.size()) {
        qsizetype slash = m_directory.indexOf(u'/', start);
        if (slash < 0)
            slash = m_directory.size();
        ++depth;
        addLevel(m_directory.mid(start, slash - start), parentLevel(m_directory, slash), open);
        start = slash + 1;
    }

    ++depth;
    QStringList children = QDir(m_directory).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(children.begin(), children.end(), collator);
    const QString prefix = m_directory == u"/" ? QString() : m_directory;
    for (const QString& child : children)
        addLevel(child, prefix + u'/' + child, closed);
    setCurrentRow(depth - 1);
}
