#pragma once

#include <QFileDialog>

namespace vimo {

// The file dialog that finds the shared data file. In create mode the user may type the name
// of a file that does not exist yet and is asked to confirm that it should be made; otherwise
// only an existing file can be chosen. A typed name without extension gets the default one.
class CFileChooserDlg : public QFileDialog {
    Q_OBJECT

public:
    CFileChooserDlg(const QString& title, const QString& filter, const QString& initialFolder,
        const QString& defaultExtension, bool createMode, QWidget* parent = nullptr);

    // Runs the dialog and returns the chosen full path, or the empty text after a cancel.
    QString Choose();

    void accept() override;

private:
    bool CreateMode;
    QString ChosenFile;
};

} // namespace vimo
