#include "dialogs/CNoteTextEdit.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>

namespace vimo {
namespace {

bool IsLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

// How many UTF-16 units, from position on, make one character as the limit counts it: a CR LF
// pair and a surrogate pair each go together.
qsizetype UnitLength(QStringView text, qsizetype position)
{
    const QChar c = text[position];
    const bool hasNext = position + 1 < text.size();
    if (c == u'\r' && hasNext && text[position + 1] == u'\n')
        return 2;
    if (c.isHighSurrogate() && hasNext && text[position + 1].isLowSurrogate())
        return 2;
    return 1;
}

} // namespace

QString StoredNoteText(QStringView text)
{
    QString stored;
    stored.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); i += UnitLength(text, i)) {
        if (IsLineBreak(text[i]))
            stored += QLatin1String("\r\n");
        else
            stored += text.mid(i, UnitLength(text, i));
    }
    return stored;
}

int StoredLength(QStringView text)
{
    return static_cast<int>(StoredNoteText(text).size());
}

QString FitToRoom(QStringView text, int room)
{
    qsizetype end = 0;
    int used = 0;
    while (end < text.size()) {
        const qsizetype units = UnitLength(text, end);
        const int cost = IsLineBreak(text[end]) ? 2 : static_cast<int>(units);
        if (used + cost > room)
            break;
        used += cost;
        end += units;
    }
    return text.first(end).toString();
}

CNoteTextEdit::CNoteTextEdit(QWidget* parent)
    : QPlainTextEdit(parent)
{
    // In a dialog Tab goes on to the next control, as everywhere else in it.
    setTabChangesFocus(true);
}

QString CNoteTextEdit::StoredText() const
{
    // The raw text keeps what was typed (a non-breaking space stays one); only the separators
    // between lines become CR LF.
    return StoredNoteText(document()->toRawText());
}

void CNoteTextEdit::SetStoredText(const QString& text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(u'\r', u'\n');
    setPlainText(shown);
}

int CNoteTextEdit::Room() const
{
    return Limit - StoredLength(document()->toRawText())
        + StoredLength(textCursor().selectedText());
}

void CNoteTextEdit::keyPressEvent(QKeyEvent* event)
{
    QString typed;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        typed = QStringLiteral("\n");
    else if (!event->text().isEmpty() && event->text().front().isPrint())
        typed = event->text();
    if (!typed.isEmpty() && !isReadOnly() && StoredLength(typed) > Room()) {
        QApplication::beep();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

QString CNoteTextEdit::Fitting(const QString& text) const
{
    QString fitting = FitToRoom(text, Room());
    if (fitting.size() != text.size())
        QApplication::beep();
    return fitting;
}

void CNoteTextEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QString fitting = Fitting(event->commitString());
    if (fitting.size() == event->commitString().size()) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent cut(event->preeditString(), event->attributes());
    cut.setCommitString(fitting, event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&cut);
}

void CNoteTextEdit::insertFromMimeData(const QMimeData* source)
{
    const QString fitting = source->hasText() ? Fitting(source->text()) : QString();
    if (!source->hasText() || fitting.size() == source->text().size()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QMimeData cut;
    cut.setText(fitting);
    QPlainTextEdit::insertFromMimeData(&cut);
}

} // namespace vimo
