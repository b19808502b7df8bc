#include "store/ui/CFileChooserDlg.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace vimo {

CFileChooserDlg::CFileChooserDlg(const QString& title, const QString& filter,
                                 const QString& initialFolder, const QString& defaultExtension,
                                 bool createMode, QWidget* parent)
    : QFileDialog(parent, title, initialFolder, filter)
    , CreateMode(createMode)
{
    // The same dialog on every desktop, and one that tests and scripts can drive.
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(createMode ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    setDefaultSuffix(defaultExtension);
    setOption(QFileDialog::DontConfirmOverwrite);
    // The desktop's file dialog, not one of the program's black dialogs: its captions must
    // stay readable. Only colours set here win over the dialogs' black.
    QPalette desktop = QApplication::palette();
    for (const auto group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled }) {
        for (const auto role : { QPalette::Window, QPalette::WindowText })
            desktop.setColor(group, role, desktop.color(group, role));
    }
    setPalette(desktop);
}

QString CFileChooserDlg::Choose()
{
    ChosenFile.clear();
    exec();
    return ChosenFile;
}

void CFileChooserDlg::accept()
{
    const QStringList files = selectedFiles();
    if (files.isEmpty())
        return;
    const QString path = QFileInfo(files.first()).absoluteFilePath();
    if (CreateMode && !QFileInfo::exists(path)) {
        const auto answer = QMessageBox::question(
            this, windowTitle(),
            tr("%1\nThis file does not exist.\nCreate the file?").arg(QFileInfo(path).fileName()));
        if (answer != QMessageBox::Yes)
            return;
    }
    ChosenFile = path;
    QFileDialog::accept();
}

} // namespace vimo
