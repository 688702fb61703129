#pragma once

#include <QListWidget>

// A directory list: the path of its current directory from the root down, one
// level per item, then the current directory's subdirectories. A double click
// or Enter opens the highlighted item, making it the current directory; a single
// click only highlights.
class TDirectoryListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TDirectoryListBox(QWidget* parent = nullptr);

    // The current directory: absolute, without a trailing "/" except for "/".
    const QString& directory() const { return m_directory; }
    void setDirectory(const QString& directory);

    // Opens the item at row, as a double click on it does.
    void openItem(int row);

signals:
    void directoryChanged(const QString& directory);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void rebuild();

    QString m_directory;
};
