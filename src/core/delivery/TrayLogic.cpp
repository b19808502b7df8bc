#include "delivery/TrayLogic.h"

#include <QCoreApplication>

namespace vimo {
namespace {

// One axis of NotePosition: the wanted place if the note fits between low and high, else
// the same distance from low taken round the room there is.
int WrapIntoArea(int wanted, int low, int high)
{
    const int room = high - low - NoteSize + 1; // how many places fit on this axis
    if (room <= 0)
        return low;
    if (wanted >= low && wanted - low < room)
        return wanted;
    const int offset = (wanted - low) % room;
    return low + (offset < 0 ? offset + room : offset);
}

} // namespace

QString TrayTipText(int openNotes)
{
    return (openNotes == 1 ? QCoreApplication::translate("TrayLogic", "%1 Vimo Active")
                           : QCoreApplication::translate("TrayLogic", "%1 Vimos Active"))
        .arg(openNotes);
}

QString OutageTipText(const QDateTime& since)
{
    return QCoreApplication::translate("TrayLogic", "Vimo: the store cannot be reached since %1")
        .arg(since.toLocalTime().toString(QStringLiteral("HH:mm")));
}

ColorRef UrgencyColor(int urgency)
{
    switch (urgency) {
    case 2:
        return MakeColorRef(0, 255, 0);
    case 3:
        return MakeColorRef(255, 0, 0);
    default:
        return MakeColorRef(255, 255, 0);
    }
}

QPoint NotePosition(int slot, const QRect& available)
{
    const int wanted = slot * 10 + 50;
    return QPoint(WrapIntoArea(wanted, available.left(), available.left() + available.width()),
        WrapIntoArea(wanted, available.top(), available.top() + available.height()));
}

} // namespace vimo
