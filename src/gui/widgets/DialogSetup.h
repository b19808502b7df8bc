#pragma once

#include <QStringList>
#include <Qt>

#include <functional>

class QDialog;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace vimo {

class CColorLabel;

// A dialog with a caption: its title, the system menu and the close box, no help button.
inline constexpr Qt::WindowFlags CaptionedDialogFlags
    = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// Calls init once, when the widget is first shown and before it paints: a dialog's
// OnInitDialog. Showing the same dialog again (a second run) does not call it again.
void CallOnFirstShow(QWidget* widget, std::function<void()> init);

// What the sign-in and compose dialogs do once their form is set up: fit the form to the
// font, let Enter move on like Tab, take the dialog colours, and call init on the first show.
void PrepareFormDialog(QDialog* dialog, std::function<void()> init);

// The tray's lists of notes ("Sent Vimos", "Deleted Vimos"): the title, a caption over a list
// of single rows whose text column takes the spare width, and a button for the chosen row
// beside Close. Close accepts; neither button takes Enter from the list.
void PrepareListDialog(QDialog* dialog, const QString& title, CColorLabel* caption,
    QTreeWidget* list, const QStringList& headers, int textColumn, QPushButton* action,
    QPushButton* close);

} // namespace vimo
