#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QStringView>

namespace vimo {

// The longest note: the width of the store's MSG column.
inline constexpr int MaxNoteLength = 250;

// The store keeps a line break as CR LF, so each one takes two of a note's characters. These
// take any line break: CR LF, LF, CR and the editor's paragraph and line separators.
QString StoredNoteText(QStringView text);
int StoredLength(QStringView text);
// The longest beginning of the text that takes no more than room stored characters; it never
// splits a line break or a character that takes two UTF-16 units.
QString FitToRoom(QStringView text, int room);

// The box in which a note is written: several lines, Enter starts a new line and Tab moves on.
// No more than its limit of stored characters can be typed, pasted or dropped into it: a key
// that would go beyond beeps and does nothing, and a paste is cut to what fits.
class CNoteTextEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit CNoteTextEdit(QWidget* parent = nullptr);

    // The text as the store keeps it, each line break as CR LF.
    QString StoredText() const;
    // Shows a stored text. The limit holds typing only: a longer text is shown whole.
    void SetStoredText(const QString& text);

    void SetMaxLength(int length) { Limit = length; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // How many stored characters may still go in place of the selection.
    int Room() const;
    // The beginning of the text that fits the room; a beep says when that is not all of it.
    QString Fitting(const QString& text) const;

    int Limit = MaxNoteLength;
};

} // namespace vimo
