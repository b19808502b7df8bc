#include "app/SignIn.h"

#include "dialogs/CLoginDlg.h"

namespace vimo {

QString SignIn(StoreWorker& worker)
{
    CLoginDlg dialog(worker);
    // The name tells how the run ended; a dialog that failed to show leaves it empty too.
    dialog.exec();
    return dialog.UserName;
}

} // namespace vimo
