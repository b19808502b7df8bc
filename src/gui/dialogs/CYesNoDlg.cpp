#include "dialogs/CYesNoDlg.h"

#include "ui_CYesNoDlg.h"
#include "widgets/CColorLabel.h"
#include "widgets/DialogColours.h"
#include "widgets/DialogSetup.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

namespace vimo {

CYesNoDlg::CYesNoDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , Form(std::make_unique<Ui::CYesNoDlg>())
{
    Form->setupUi(this);
    setFixedSize(size());
    UseDialogColours(this);
    CallOnFirstShow(this, [this] { OnInitDialog(); });
    connect(Form->YesButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(Form->NoButton, &QPushButton::clicked, this, &QDialog::reject);
}

CYesNoDlg::~CYesNoDlg() = default;

void CYesNoDlg::OnInitDialog()
{
    Form->QuestionLabel->SetColors(MakeColorRef(255, 255, 0), 0);
    Form->QuestionLabel->setText(Question);
    // A box without a caption cannot be moved: put it where the eye is.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Form->YesButton->setFocus();
}

} // namespace vimo
