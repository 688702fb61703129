#pragma once

#include <QDialog>
#include <QMap>

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class TDirectoryListBox;

// The directory and file-type dialog. It is created once and only hidden
// between showings, so its check marks, drive and directory stay as the user
// left them. It stores nothing itself.
class Topen_dir : public QDialog {
    Q_OBJECT
public:
    explicit Topen_dir(QWidget* parent = nullptr);

    TDirectoryListBox* DirectoryListBox1;
    QComboBox* DriveComboBox1;
    QPushButton* Button1;
    QPushButton* Button2;
    QListWidget* CheckListBox1;
    QPlainTextEdit* Memo1;
    QLabel* Label1;
    QLabel* Label2;

    // The file types offered, in the check list's order.
    static QStringList fileTypes();

    // Shows drive (a mount point) in the drive list; when it was not shown
    // already, the directory list moves to that drive as a user's choice would.
    void setDrive(const QString& drive);
    QString drive() const;

    QString directory() const;
    QStringList checkedTypes() const;
    // The memo's lines; a line wrapped on screen counts as one.
    QStringList memoLines() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void Button1Click();
    void Button2Click();
    void DriveComboBox1Change();

private:
    // Puts the controls where they belong at the window's size.
    void placeControls();
    // The mount point holding dir: the "drive" it lies on.
    QString driveOf(const QString& dir) const;
    void fillDrives();

    // The last directory shown on each drive, where the list returns on
    // coming back to it.
    QMap<QString, QString> m_lastDirectoryOnDrive;
};
