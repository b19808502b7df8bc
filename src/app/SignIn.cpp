#include "app/SignIn.h"

#include "dialogs/CLoginDlg.h"
#include "exchange/Session.h"

namespace vimo {

bool SignIn()
{
    CLoginDlg dialog;
    // The name tells how the run ended; a dialog that failed to show leaves it empty too.
    dialog.exec();
    SetCurrentUser(dialog.UserName);
    return !CurrentUser().isEmpty();
}

} // namespace vimo
