#include "store/ui/DesktopPrompts.h"

#include "store/Prompts.h"
#include "store/ui/CFileChooserDlg.h"
#include "store/ui/CYesNoDlg.h"

#include <QApplication>
#include <QMessageBox>

namespace vimo {
namespace {

void ShowAlertBox(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf16(AlertCaption), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool AskInBox(const QString& question)
{
    CYesNoDlg dialog;
    dialog.Question = question;
    return dialog.exec() == QDialog::Accepted;
}

QString ChooseInDialog(const FileChoiceRequest& request)
{
    const QString filter = request.FilterDescription + QLatin1String(" (") + request.FilterPattern
        + QLatin1Char(')');
    // "Vimo Files (*.vmo)" already names its pattern; do not repeat it.
    const QString shown = request.FilterDescription.contains(request.FilterPattern)
        ? request.FilterDescription
        : filter;
    CFileChooserDlg dialog(request.Title, shown, request.InitialFolder, request.DefaultExtension,
                           request.CreateMode);
    return dialog.Choose();
}

} // namespace

QPalette PlatformColours()
{
    const QPalette platform = QApplication::palette();
    QPalette colours;
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto g = QPalette::ColorGroup(group);
            const auto r = QPalette::ColorRole(role);
            colours.setBrush(g, r, platform.brush(g, r));
        }
    }
    return colours;
}

void InstallDesktopPrompts()
{
    SetAlertHandler(ShowAlertBox);
    SetQuestionHandler(AskInBox);
    SetFileChoiceHandler(ChooseInDialog);
}

} // namespace vimo
