#pragma once

#include "model/NoteRow.h"

#include <QString>

class QCheckBox;
class QLineEdit;
class QWidget;

namespace vimo {

class CNoteTextEdit;
class CUserListBox;

// One exchange between a dialog's controls and its members, in one direction: save (controls
// to members) or load (members to controls). A dialog's UpdateData names every binding once,
// in order, and the same lines serve both directions. The first binding that refuses its value
// has said why, taken the focus, and ends the exchange: later bindings do nothing.
class DataExchange {
public:
    explicit DataExchange(bool save)
        : Saving(save)
    {
    }

    // A one-line box and its text. Save copies the text exactly, without trimming, and refuses
    // one longer than the limit with "Please enter no more than <limit> characters.". Load
    // sets the text and lets no more than the limit be typed; a longer value, such as a row
    // written by another program, is shown whole so that the next save refuses it rather than
    // cutting it silently.
    void Text(QLineEdit* box, QString& value, int limit);

    // A note text box and its text as the store keeps it, each line break as CR LF and
    // counted as two characters. Save and load as for a one-line box; load leaves a box that
    // already shows the value alone, so the cursor and the undo steps stay where they were.
    void Text(CNoteTextEdit* box, QString& value, int limit);

    // A check box and its state: 0 off, 1 on, 2 undecided. Load takes any other value as 0.
    void Check(QCheckBox* box, int& value);

    // A picker list and the text of its selected item. Save reads that text, empty when none
    // is selected; load selects the first item that begins with the value, without regard to
    // case.
    void Selection(CUserListBox* list, QString& value);

    bool Succeeded() const { return !Failed; }

private:
    // Takes a saved text into value when it is no longer than the limit; otherwise refuses it.
    bool Fits(QWidget* box, const QString& text, int limit, QString& value);
    // Says that the box holds more than the limit and gives it the focus; the exchange ends.
    void Refuse(QWidget* box, int limit);

    bool Saving;
    bool Failed = false;
};

} // namespace vimo
