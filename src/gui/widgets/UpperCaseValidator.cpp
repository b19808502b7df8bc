#include "widgets/UpperCaseValidator.h"

namespace vimo {

UpperCaseValidator::UpperCaseValidator(QObject* parent)
    : QValidator(parent)
{
}

QValidator::State UpperCaseValidator::validate(QString& input, int& position) const
{
    // A few letters grow when capitalised ("ß" becomes "SS"): keep the cursor behind the
    // same letter.
    position = static_cast<int>(input.left(position).toUpper().size());
    input = input.toUpper();
    return Acceptable;
}

} // namespace vimo
