#include "dialogs/DesktopPrompts.h"

#include "dialogs/CFileChooserDlg.h"
#include "dialogs/CYesNoDlg.h"
#include "prompts/Prompts.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace vimo {
namespace {

void ShowAlertBox(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf16(AlertCaption), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool AskRetryInBox(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf16(AlertCaption), text);
    box.setTextFormat(Qt::PlainText);
    QPushButton* retry = box.addButton(
        QCoreApplication::translate("DesktopPrompts", "&Retry"), QMessageBox::AcceptRole);
    box.addButton(QCoreApplication::translate("DesktopPrompts", "&Quit"), QMessageBox::RejectRole);
    box.setDefaultButton(retry);
    box.exec();
    return box.clickedButton() == retry;
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
    CFileChooserDlg dialog(
        request.Title, shown, request.InitialFolder, request.DefaultExtension, request.CreateMode);
    return dialog.Choose();
}

} // namespace

void InstallDesktopPrompts()
{
    SetAlertHandler(ShowAlertBox);
    SetQuestionHandler(AskInBox);
    SetFileChoiceHandler(ChooseInDialog);
    SetRetryHandler(AskRetryInBox);
}

} // namespace vimo
