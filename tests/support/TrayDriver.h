#pragma once

#include "Forms.h"
#include "TestWidgets.h"

#include "notes/CNoteDlg.h"
#include "tray/CTrayDlg.h"

#include <QMenu>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <utility>

// The tray window as a user meets it: its icon, its menu picked by key, its note windows, and
// its timers coming due.
namespace vimo::test {

inline QSystemTrayIcon* TrayIcon(CTrayDlg& tray)
{
    return tray.findChild<QSystemTrayIcon*>(QStringLiteral("TrayIcon"));
}

// "QuitTimer", "PollTimer" or "DeleteTimer".
inline QTimer* TrayTimer(CTrayDlg& tray, const char* name)
{
    return tray.findChild<QTimer*>(QLatin1String(name));
}

// A left click on the icon, then the key of a menu item: N for New, Q for Quit, H and S for
// Hide All and Show All. Returns when the command has been carried out.
inline void ChooseFromTrayMenu(CTrayDlg& tray, int key)
{
    WhenPopup([key](QMenu* menu) { QTest::keyClick(menu, Qt::Key(key)); });
    Q_EMIT TrayIcon(tray)->activated(QSystemTrayIcon::Trigger);
}

// Quit, and its timer coming due: the run ends.
inline void Quit(CTrayDlg& tray)
{
    ChooseFromTrayMenu(tray, Qt::Key_Q);
    Fire(TrayTimer(tray, "QuitTimer"));
}

// Runs the tray; act runs inside the run once it has begun, and the user quits after it.
// Returns what exec returned.
inline int RunTray(CTrayDlg& tray, const std::function<void()>& act)
{
    QTimer::singleShot(0, &tray, [&tray, act] {
        // The first poll has answered.
        QVERIFY(Settled());
        act();
        Quit(tray);
    });
    return tray.exec();
}

// The open notes, lowest slot first.
inline QList<CNoteDlg*> OpenNotes(CTrayDlg& tray)
{
    QList<CNoteDlg*> notes = tray.findChildren<CNoteDlg*>();
    std::sort(notes.begin(), notes.end(), [](auto* a, auto* b) { return a->y() < b->y(); });
    return notes;
}

// Acts in the compose dialog once its modal run has begun. A dialog that a failed check
// leaves open is cancelled, so the test ends rather than waits forever.
inline void WhenComposing(std::function<void(ComposeForm&)> act)
{
    WhenModal<CComposeDlg>([act = std::move(act)](CComposeDlg* dialog) {
        QTimer::singleShot(20000, dialog, &QDialog::reject);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        ComposeForm form(dialog);
        act(form);
    });
}

} // namespace vimo::test
