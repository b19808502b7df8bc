#include "dialogs/DataExchange.h"

#include "dialogs/CUserListBox.h"
#include "store/Prompts.h"

#include <QLineEdit>

#include <algorithm>

namespace vimo {

void DataExchange::Text(QLineEdit* box, QString& value, int limit)
{
    if (Failed)
        return;
    if (!Saving) {
        box->setMaxLength(std::max(limit, static_cast<int>(value.size())));
        // A validator would rewrite the value too; a name picked from the store must stay as
        // the store has it ("ann" is not "ANN" to the lookup).
        const QValidator* rule = box->validator();
        box->setValidator(nullptr);
        box->setText(value);
        box->setValidator(rule);
        return;
    }
    const QString text = box->text();
    if (text.size() > limit) {
        Failed = true;
        ShowAlert(QStringLiteral("Please enter no more than %1 characters.").arg(limit));
        box->setFocus(Qt::OtherFocusReason);
        box->selectAll();
        return;
    }
    value = text;
}

void DataExchange::Selection(CUserListBox* list, QString& value)
{
    if (Failed)
        return;
    if (Saving)
        value = list->SelectedText();
    else
        list->SelectStartingWith(value);
}

} // namespace vimo
