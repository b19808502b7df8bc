#pragma once

#include "model/ColorRef.h"
#include "model/NoteRow.h"

#include <QDialog>
#include <QPoint>
#include <QString>

namespace vimo {

class CColorLabel;

// One received note: a frameless square whose coloured label carries the text, with a thin
// black frame (the dialog background) around it. It is dragged with the left button and
// acted on through its right-click menu: Hide, Delete, Enlarge, Shrink, and Reply.
//
// The owner is the main window, which opens a note like this:
//
//     auto* note = new CNoteDlg(row, slot, urgencyColour, mainWindow);
//     connect(note, &CNoteDlg::DeleteRequested, mainWindow, ...);
//     note->setGeometry(10 * slot + 50, 10 * slot + 50, 100, 100);
//     note->show();
//
// The label follows the note's size by itself; the text goes into it when the note is first
// shown, and the note comes to the front then. Hide All and Show All are hide() and
// showNormal().
//
// From the keyboard: Tab or the arrow keys go to the next or previous note, the menu key or
// Shift+F10 opens the menu, Delete deletes.
//
// A note never destroys itself. Delete only emits DeleteRequested, from inside the note's
// menu or key handler, so the owner must not delete the note in that handler: it records the
// request and deletes the note later, from its own timer (or with deleteLater()).
class CNoteDlg : public QDialog {
    Q_OBJECT

public:
    // The menu command ids.
    enum Command : int {
        HideCommand = 201,
        DeleteCommand = 202,
        EnlargeCommand = 203,
        ShrinkCommand = 204,
        ReplyCommand = 205,
    };

    // The note of the row, in the owner's slot, on the background colour. It shows the text
    // exactly as stored; hovering it shows the sender and the day it was posted, and Reply
    // writes back to the sender (off without one). A note that announces itself is one that
    // nothing else told the user of.
    CNoteDlg(
        const NoteRow& row, int slot, ColorRef background, QWidget* owner, bool announce = false);
    ~CNoteDlg() override;

    // The row the note shows.
    const NoteRow& Row() const { return Shown; }
    // Nothing else told the user of the note: screen readers announce it as an alert.
    bool Announces() const { return Announce; }
    // Nothing else did after all (the notification failed): the note announces itself now.
    void AnnounceNow();

    // To the front, with the keyboard.
    void TakeFocus();

Q_SIGNALS:
    // The user chose Delete. The note stays as it is until the owner removes it.
    void DeleteRequested(qint64 key, int slot);
    // The user chose Reply: write a note to the sender.
    void ReplyRequested(const QString& sender);
    // The user pressed a mouse button on the note, to drag it or to open its menu: the note
    // has been seen.
    void Touched();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void OnInitDialog();
    void OpenMenu(QPoint screenPoint);
    // Carries out a menu command; any other id (0: the menu was dismissed) does nothing.
    void OnMenuCommand(int id);
    void HideNote();
    void RequestDelete();
    void ResizeNote(bool grow);
    // The owner's next shown note by slot, or the previous one, round the end.
    void FocusNeighbour(bool next);

    const NoteRow Shown;
    const int Slot;
    bool Announce;
    CColorLabel* const Label;
    // The text goes in when the note first shows.
    bool Initialised = false;
    bool Dragging = false;
    // The size when a drag began or a resize ended.
    int Width = 0;
    int Height = 0;
    // Where in the note the drag took hold.
    QPoint GrabPoint;
};

} // namespace vimo
