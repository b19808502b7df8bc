#pragma once

#include <QValidator>

namespace vimo {

// Turns every typed or pasted letter of a box into a capital, the cursor staying where it
// was. Text set by the program is left as it is.
class UpperCaseValidator : public QValidator {
    Q_OBJECT

public:
    explicit UpperCaseValidator(QObject* parent = nullptr);

    State validate(QString& input, int& position) const override;
};

} // namespace vimo
