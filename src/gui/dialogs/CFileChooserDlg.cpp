#include "dialogs/CFileChooserDlg.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>

namespace vimo {

CFileChooserDlg::CFileChooserDlg(const QString& title, const QString& filter,
    const QString& initialFolder, const QString& defaultExtension, bool createMode, QWidget* parent)
    : QFileDialog(parent, title, initialFolder, filter)
    , CreateMode(createMode)
{
    // The same dialog on every desktop, and one that tests and scripts can drive.
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(createMode ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    setDefaultSuffix(defaultExtension);
    setOption(QFileDialog::DontConfirmOverwrite);
}

QString CFileChooserDlg::Choose()
{
    ChosenFile.clear();
    // accept() may keep the dialog open, to enter a folder or after a refused prompt; only
    // the choice that closed it counts.
    if (exec() != QDialog::Accepted)
        ChosenFile.clear();
    return ChosenFile;
}

void CFileChooserDlg::accept()
{
    // QFileDialog adds the default extension to a typed folder name unless the folder is
    // found from the working directory, so "sub" would become "sub.vmo": enter it instead.
    if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        const QString typed = edit->text();
        const QFileInfo folder(QDir(directory()).filePath(typed));
        if (!typed.isEmpty() && folder.isDir()) {
            setDirectory(folder.absoluteFilePath());
            edit->clear();
            return;
        }
    }
    const QStringList files = selectedFiles();
    if (files.isEmpty())
        return;
    const QString path = QFileInfo(files.first()).absoluteFilePath();
    if (CreateMode && !QFileInfo::exists(path)) {
        const auto answer = QMessageBox::question(this, windowTitle(),
            tr("%1\nThis file does not exist.\nCreate the file?").arg(QFileInfo(path).fileName()));
        if (answer != QMessageBox::Yes)
            return;
    }
    ChosenFile = path;
    QFileDialog::accept();
}

} // namespace vimo
