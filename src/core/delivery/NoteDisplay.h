#pragma once

#include "model/NoteRow.h"

namespace vimo {

// The notes on screen as the inbox sees them: it decides which row shows in which slot, and
// when one goes; the display makes, places and closes the windows.
class NoteDisplay {
public:
    virtual ~NoteDisplay() = default;

    // Opens the row in the slot, coloured by its urgency. An announced note tells screen
    // readers that it came.
    virtual void ShowNote(const NoteRow& row, int slot, bool announce) = 0;
    // Closes the slot's note; with passFocus, the keyboard goes on to the newest note when
    // the closed one had it.
    virtual void CloseNote(int slot, bool passFocus) = 0;
    // The notification of this open note reached no service: the note announces itself.
    virtual void Announce(qint64 key) = 0;
};

} // namespace vimo
