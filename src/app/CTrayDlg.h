#pragma once

#include "exchange/NoteExchange.h"

#include <QDialog>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

class QEventLoop;

namespace vimo {

// The program's main window. Nobody sees it: it owns the tray icon with its tooltip and
// menu, the note windows (through its NoteExchange) and the three timers. The program lives
// exactly as long as its run (exec), from sign-in to Quit.
class CTrayDlg : public QDialog {
    Q_OBJECT

public:
    enum TimerId : int {
        TIMER_QUIT = 1,   // one-shot: ends the run
        TIMER_POLL = 2,   // periodic: polls the store
        TIMER_DELETE = 3, // one-shot: carries out pending deletions
    };
    static constexpr int QuitDelayMs = 1000;
    static constexpr int PollPeriodMs = 20000;
    static constexpr int DeleteDelayMs = 500;

    enum MenuCommand : int {
        NewCommand = 32771,
        QuitCommand = 32772,
        HideAllCommand = 32773,
        ShowAllCommand = 32774,
    };

    enum class TrayAction { Add, Modify, Delete };

    explicit CTrayDlg(QWidget* parent = nullptr);
    ~CTrayDlg() override;

    // The run: initialises, then serves the tray, the timers and the notes until Quit; the
    // window itself stays hidden. Returns the result that ended it.
    int exec() override;
    void done(int result) override;

    void OnInitDialog();
    QString TrayTipText() const;
    void RefreshTrayIcon(TrayAction action);
    // A left press on the icon opens the menu, unless it is open already.
    void OnTrayNotify(QSystemTrayIcon::ActivationReason reason);
    // Carries out a tray menu command; any other id (0: the menu was dismissed) does nothing.
    void OnMenuCommand(int id);
    void StartQuitTimer();
    void OnTimer(int id);
    // Closes every note window and takes the icon out of the tray.
    void DestroyWindow();
    // The tray command New: write a note to somebody. A note the store refuses goes back into
    // the dialog as it was left, to be sent again or cancelled.
    void PostNote();

    bool IsTimerActive(int id) const;
    const QSystemTrayIcon& TrayIcon() const { return Tray; }
    bool IsTrayIconAdded() const { return TrayIconAdded; }

    NoteExchange Exchange;

Q_SIGNALS:
    // The icon went into the tray, with its first tooltip.
    void TrayIconShown(const QString& toolTip);

private:
    void OpenTrayMenu();

    QSystemTrayIcon Tray;
    bool TrayIconAdded = false;
    // While the tray menu runs: a press on the icon then opens no second one.
    bool TrayMenuOpen = false;
    QTimer QuitTimer;
    QTimer PollTimer;
    QTimer DeleteTimer;
    QEventLoop* RunLoop = nullptr;
    // The compose dialog while PostNote runs it.
    QPointer<QDialog> Composing;
};

} // namespace vimo
