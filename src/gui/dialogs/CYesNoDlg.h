#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CYesNoDlg;
}

namespace vimo {

// A small captionless question box with a "yes" and a "no" button. Enter on "yes" (where the
// focus starts) answers yes; Escape answers no.
class CYesNoDlg : public QDialog {
    Q_OBJECT

public:
    explicit CYesNoDlg(QWidget* parent = nullptr);
    ~CYesNoDlg() override;

    QString Question;

private:
    void OnInitDialog();

    std::unique_ptr<Ui::CYesNoDlg> Form;
};

} // namespace vimo
