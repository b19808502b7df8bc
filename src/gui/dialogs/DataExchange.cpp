#include "dialogs/DataExchange.h"

#include "dialogs/CNoteTextEdit.h"
#include "prompts/Prompts.h"
#include "widgets/CUserListBox.h"

#include <QCheckBox>
#include <QCoreApplication>
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
    if (Fits(box, box->text(), limit, value))
        return;
    box->selectAll();
}

void DataExchange::Text(CNoteTextEdit* box, QString& value, int limit)
{
    if (Failed)
        return;
    if (!Saving) {
        box->SetMaxLength(std::max(limit, StoredLength(value)));
        if (box->StoredText() != value)
            box->SetStoredText(value);
        return;
    }
    if (Fits(box, box->StoredText(), limit, value))
        return;
    box->selectAll();
}

void DataExchange::Check(QCheckBox* box, int& value)
{
    if (Failed)
        return;
    if (Saving) {
        switch (box->checkState()) {
        case Qt::Unchecked:
            value = 0;
            break;
        case Qt::Checked:
            value = 1;
            break;
        case Qt::PartiallyChecked:
            value = 2;
            break;
        }
        return;
    }
    if (value < 0 || value > 2)
        value = 0;
    const Qt::CheckState states[] = { Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked };
    box->setCheckState(states[value]);
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

bool DataExchange::Fits(QWidget* box, const QString& text, int limit, QString& value)
{
    if (text.size() <= limit) {
        value = text;
        return true;
    }
    Refuse(box, limit);
    return false;
}

void DataExchange::Refuse(QWidget* box, int limit)
{
    Failed = true;
    ShowAlert(
        QCoreApplication::translate("DataExchange", "Please enter no more than %1 characters.")
            .arg(limit));
    box->setFocus(Qt::OtherFocusReason);
}

} // namespace vimo
