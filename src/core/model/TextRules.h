#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Text rules shared by every value written to the store and read back from it.
namespace vimo {

// Tab, line feed, vertical tab, form feed, carriage return and blank: codes 9 to 13 and 32.
bool IsWhiteSpace(QChar c);

// The text without its trailing white space; leading white space stays.
QString CutTrailingWhiteSpace(QStringView text);

// Cuts every trailing byte with a code from 0 to 32 off the buffer and returns the length
// that remains. Bytes from 128 up (the tail of a UTF-8 letter) are kept.
int TrimTrailingBlanks(QByteArray& buffer);
// The same for text as read back: every trailing character with a code from 0 to 32.
int TrimTrailingBlanks(QString& text);

// A character that shows nothing of itself in a name: controls, format characters (zero-width
// spaces and joiners, direction marks and overrides), separators other than the blank, and
// the others that fonts leave unseen (fillers, variation selectors). A name that holds one
// looks like another name.
bool IsUnseen(char32_t c);
// The name with each unseen character spelt out, "BOB<U+200B>", as pickers show names.
QString SeenName(QStringView name);
// The unseen characters of a name, each once, "U+200B, U+202E"; empty when it has none.
QString UnseenCharacters(QStringView name);

// Reads a number as the C library's atoi does: leading white space, an optional sign, then
// decimal digits up to the first other character. Empty or non-numeric text gives 0; values
// beyond the int range are held at its ends.
int AtoI(QStringView text);

} // namespace vimo
