#include "prompts/Prompts.h"

#include "setup/Profile.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLoggingCategory>

#include <utility>

namespace vimo {
namespace {

// Every alert and Retry box, as the user reads it, for the tests that drive the program on a
// desktop: enabled by the logging rule "vimo.alert.info=true".
Q_LOGGING_CATEGORY(AlertLog, "vimo.alert", QtWarningMsg)

// Without a desktop the program can still say what went wrong.
AlertHandler& CurrentAlertHandler()
{
    static AlertHandler handler = [](const QString& text) {
        qWarning().noquote() << QString::fromUtf16(AlertCaption) << text;
    };
    return handler;
}

QuestionHandler& CurrentQuestionHandler()
{
    static QuestionHandler handler = [](const QString&) { return false; };
    return handler;
}

FileChoiceHandler& CurrentFileChoiceHandler()
{
    static FileChoiceHandler handler = [](const FileChoiceRequest&) { return QString(); };
    return handler;
}

// Without a desktop nobody can choose Retry.
RetryHandler& CurrentRetryHandler()
{
    static RetryHandler handler = [](const QString& text) {
        qWarning().noquote() << QString::fromUtf16(AlertCaption) << text;
        return false;
    };
    return handler;
}

} // namespace

AlertHandler SetAlertHandler(AlertHandler handler)
{
    return std::exchange(CurrentAlertHandler(), std::move(handler));
}

QuestionHandler SetQuestionHandler(QuestionHandler handler)
{
    return std::exchange(CurrentQuestionHandler(), std::move(handler));
}

FileChoiceHandler SetFileChoiceHandler(FileChoiceHandler handler)
{
    return std::exchange(CurrentFileChoiceHandler(), std::move(handler));
}

RetryHandler SetRetryHandler(RetryHandler handler)
{
    return std::exchange(CurrentRetryHandler(), std::move(handler));
}

void ShowAlert(const QString& text)
{
    qCInfo(AlertLog).noquote() << text;
    // A copy: the handler may be replaced while its box is open.
    const AlertHandler handler = CurrentAlertHandler();
    if (handler)
        handler(text);
}

void ShowFailureAlert(const StoreFailure& failure)
{
    ShowAlert(QCoreApplication::translate("Prompts", "%1 [Error (%2) %3]")
                  .arg(failure.Statement, failure.Error.State, failure.Error.Message));
}

QString UnreachableText(const QString& consequence, const StoreFailure& failure)
{
    return QCoreApplication::translate("Prompts", "The store cannot be reached: %1\n[%2] %3")
        .arg(consequence, failure.Error.State, failure.Error.Message);
}

void ShowStoreFailure(const StoreFailure& failure, const QString& consequence)
{
    if (failure.OutOfReach())
        ShowAlert(UnreachableText(consequence, failure));
    else
        ShowFailureAlert(failure);
}

bool AskRetryOrQuit(const QString& text)
{
    qCInfo(AlertLog).noquote() << text;
    const RetryHandler handler = CurrentRetryHandler();
    return handler && handler(text);
}

bool AskYesNo(const QString& question)
{
    const QuestionHandler handler = CurrentQuestionHandler();
    return handler && handler(question);
}

QString ChooseDataFile(const QString& filterDescription, const QString& filterPattern,
    const QString& title, const QString& defaultExtension, bool createMode)
{
    FileChoiceRequest request;
    request.FilterDescription = filterDescription;
    request.FilterPattern = filterPattern;
    request.Title = title;
    request.DefaultExtension = defaultExtension;
    request.InitialFolder = ReadProfileValue(QStringLiteral("Vimo"), QStringLiteral("DBPATH"));
    request.CreateMode = createMode;
    const FileChoiceHandler handler = CurrentFileChoiceHandler();
    return handler ? handler(request) : QString();
}

} // namespace vimo
