#include "registration/open_dir.h"

#include "registration/directory_list_box.h"
#include "shell/window_geometry.h"
#include "scan/pseudo_file_systems.h"

#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStorageInfo>

#include <algorithm>

Topen_dir::Topen_dir(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("open_dir"));
    setWindowTitle(QStringLiteral("Выбор директории"));
    setGeometry(359, 261, 323, 212);
    RememberGeometry(*this, QStringLiteral("directory"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    Label1 = new QLabel(QStringLiteral("Вабор директории"), this);
    Label1->setObjectName(QStringLiteral("Label1"));

    Label2 = new QLabel(QStringLiteral("Выбор типа файлов"), this);
    Label2->setObjectName(QStringLiteral("Label2"));


    // Created in tab order.
    DirectoryListBox1 = new TDirectoryListBox(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));

    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));

    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    for (QPushButton* button : {Button1, Button2}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    CheckListBox1 = new QListWidget(this);
    CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));

    CheckListBox1->setUniformItemSizes(true);
    for (const QString& type : fileTypes()) {
        auto* item = new QListWidgetItem(type, CheckListBox1);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setSizeHint(QSize(0, 13));
    }

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));

    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    placeControls();

    setTabOrder(DirectoryListBox1, DriveComboBox1);
    setTabOrder(DriveComboBox1, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, CheckListBox1);
    setTabOrder(CheckListBox1, Memo1);

    connect(Button1, &QPushButton::clicked, this, &Topen_dir::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Topen_dir::Button2Click);

    // Both lists start on the program's working directory.
    fillDrives();
    const QString start = QDir::currentPath();
    DirectoryListBox1->setDirectory(start);
    DriveComboBox1->setCurrentIndex(DriveComboBox1->findText(driveOf(start)));
    connect(DirectoryListBox1, &TDirectoryListBox::directoryChanged, this,
            [this](const QString& dir) { m_lastDirectoryOnDrive[driveOf(dir)] = dir; });
    m_lastDirectoryOnDrive[driveOf(start)] = start;
    connect(DriveComboBox1, &QComboBox::currentIndexChanged, this, &Topen_dir::DriveComboBox1Change);
}

void Topen_dir::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    placeControls();
}

void Topen_dir::placeControls()
{
    // At the first size, 323 by 212, every control stands where it always
    // has; a larger window gives the lists its extra height and the three
    // columns its extra width, shared as their first widths are (145 : 81 :
    // 81), and the drives and buttons stay below the lists.
    const int dx = std::max(0, width() - 323);
    const int dy = std::max(0, height() - 212);
    const int w0 = 145 + dx * 145 / 307;
    const int w1 = 81 + dx * 81 / 307;
    const int w2 = 81 + dx - (w0 - 145) - (w1 - 81);
    const int x1 = w0 + 7;
    const int x2 = x1 + w1 - 1;
    const int lists = 137 + dy;
    const int bottom = 160 + dy;
    Label1->move(24, 0);
    Label2->move(x1 + 32, 0);
    DirectoryListBox1->setGeometry(0, 16, w0, lists);
    CheckListBox1->setGeometry(x1, 16, w1, lists);
    Memo1->setGeometry(x2, 16, w2, lists);
    DriveComboBox1->setGeometry(0, bottom, w0, 19);
    Button1->setGeometry(x1 + 8, bottom, 75, 25);
    Button2->setGeometry(x1 + 88, bottom, 75, 25);
}

QStringList Topen_dir::fileTypes()
{
    return {QStringLiteral("*"),   QStringLiteral("exe"),  QStringLiteral("com"), QStringLiteral("bat"),
            QStringLiteral("doc"), QStringLiteral("txt"),  QStringLiteral("pdf"), QStringLiteral("inf"),
            QStringLiteral("htm"), QStringLiteral("html"), QStringLiteral("xml"), QStringLiteral("rtf"),
            QStringLiteral("bmp"), QStringLiteral("gif"),  QStringLiteral("mp3"), QStringLiteral("wav"),
            QStringLiteral("sys"), QStringLiteral("ico"),  QStringLiteral("xls"), QStringLiteral("dll")};
}

void Topen_dir::fillDrives()
{
    QStringList mountPoints{QStringLiteral("/")};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && !IsPseudoFileSystemType(QString::fromUtf8(volume.fileSystemType()))
            && !mountPoints.contains(volume.rootPath()))
            mountPoints.append(volume.rootPath());
    std::sort(mountPoints.begin(), mountPoints.end());
    DriveComboBox1->addItems(mountPoints);
}

QString Topen_dir::driveOf(const QString& dir) const
{
    QString best = QStringLiteral("/");
    for (int i = 0; i < DriveComboBox1->count(); ++i) {
        const QString mount = DriveComboBox1->itemText(i);
        if ((dir == mount || dir.startsWith(mount + u'/')) && mount.size() > best.size())
            best = mount;
    }
    return best;
}

void Topen_dir::setDrive(const QString& drive)
{
    const int index = DriveComboBox1->findText(drive);
    if (index >= 0 && index != DriveComboBox1->currentIndex())
        DriveComboBox1->setCurrentIndex(index); // runs DriveComboBox1Change
}

QString Topen_dir::drive() const
{
    return DriveComboBox1->currentText();
}

void Topen_dir::DriveComboBox1Change()
{
    const QString drive = DriveComboBox1->currentText();
    if (drive == driveOf(DirectoryListBox1->directory()))
        return;
    DirectoryListBox1->setDirectory(m_lastDirectoryOnDrive.value(drive, drive));
}

QString Topen_dir::directory() const
{
    return DirectoryListBox1->directory();
}

QStringList Topen_dir::checkedTypes() const
{
    QStringList types;
    for (int i = 0; i < CheckListBox1->count(); ++i)
        if (CheckListBox1->item(i)->checkState() == Qt::Checked)
            types.append(CheckListBox1->item(i)->text());
    return types;
}

QStringList Topen_dir::memoLines() const
{
    const QString text = Memo1->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

void Topen_dir::Button1Click()
{
    accept();
}

void Topen_dir::Button2Click()
{
    reject();
}

void Topen_dir::keyPressEvent(QKeyEvent* event)
{
    // Neither button is the default or the cancel button: Enter and Escape
    // press neither.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
