#pragma once

#include "store/StoreResult.h"

#include <QString>

#include <functional>

// The three ways the program talks to the user from below the widget layer. Each goes
// through one replaceable handler: the desktop installs message boxes and dialogs at start-up,
// tests install recorders and scripted answers.
namespace vimo {

struct FileChoiceRequest {
    QString FilterDescription; // "Vimo Files (*.vmo)"
    QString FilterPattern; // "*.vmo"
    QString Title;
    QString DefaultExtension; // without the dot
    QString InitialFolder; // empty: the platform's default folder
    bool CreateMode = false; // true: a name that does not exist yet may be typed
};

using AlertHandler = std::function<void(const QString& text)>;
using QuestionHandler = std::function<bool(const QString& question)>;
using FileChoiceHandler = std::function<QString(const FileChoiceRequest& request)>;
using RetryHandler = std::function<bool(const QString& text)>;

// Each setter returns the handler it replaces, so a test can put it back.
AlertHandler SetAlertHandler(AlertHandler handler);
QuestionHandler SetQuestionHandler(QuestionHandler handler);
FileChoiceHandler SetFileChoiceHandler(FileChoiceHandler handler);
RetryHandler SetRetryHandler(RetryHandler handler);

// The caption of every alert box.
inline constexpr char16_t AlertCaption[] = u"VIMO!!";

// Shows the text in a modal box with one OK button; returns when it is closed.
void ShowAlert(const QString& text);

// The alert of a statement the store refused: "<statement> [Error (<SQLSTATE>) <message>]".
void ShowFailureAlert(const StoreFailure& failure);

// Shows the alert of a store operation that failed; true when it succeeded.
template <typename T> bool SucceededOrAlert(const StoreResult<T>& result)
{
    if (result.Failure)
        ShowFailureAlert(*result.Failure);
    return result.Succeeded();
}

// The text of an alert for something the store could not do because it cannot be reached
// now: "The store cannot be reached: <consequence>", and what the driver said.
QString UnreachableText(const QString& consequence, const StoreFailure& failure);

// The alert for a store operation that failed: UnreachableText with the consequence when the
// store cannot be reached now, else the refused statement as ShowFailureAlert says it.
void ShowStoreFailure(const StoreFailure& failure, const QString& consequence);

// Says what keeps the program from its store, with a Retry and a Quit button; true for Retry.
bool AskRetryOrQuit(const QString& text);

// Asks a question with a yes and a no button; true only for yes.
bool AskYesNo(const QString& question);

// Runs the file dialog, starting in the folder of the profile value Vimo/DBPATH. Returns the
// full path, with the default extension added when the typed name had none, or the empty
// text when the user cancelled.
QString ChooseDataFile(const QString& filterDescription, const QString& filterPattern,
    const QString& title, const QString& defaultExtension, bool createMode);

} // namespace vimo
