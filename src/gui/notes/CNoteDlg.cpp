#include "notes/CNoteDlg.h"

#include "delivery/NoteGeometry.h"
#include "model/NoteTexts.h"
#include "model/TextRules.h"
#include "notes/BackingStoreRelease.h"
#include "notes/NoteWindowFlags.h"
#include "widgets/CColorLabel.h"
#include "widgets/DialogColours.h"

#include <QAccessibleWidget>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>

namespace vimo {

namespace {

struct MenuItem {
    int Id; // 0: a separator
    const char* Text;
};

constexpr MenuItem NoteMenu[] = {
    { CNoteDlg::HideCommand, QT_TRANSLATE_NOOP("vimo::CNoteDlg", "&Hide") },
    { CNoteDlg::DeleteCommand, QT_TRANSLATE_NOOP("vimo::CNoteDlg", "&Delete") },
    { CNoteDlg::EnlargeCommand, QT_TRANSLATE_NOOP("vimo::CNoteDlg", "&Enlarge") },
    { CNoteDlg::ShrinkCommand, QT_TRANSLATE_NOOP("vimo::CNoteDlg", "&Shrink") },
    { 0, nullptr },
    { CNoteDlg::ReplyCommand, QT_TRANSLATE_NOOP("vimo::CNoteDlg", "&Reply") },
};

// A note that announces itself is an alert to screen readers, which read one out as it shows.
// Asked each time: Qt makes the interface with the note, before its owner has set it up.
class NoteAccessible final : public QAccessibleWidget {
public:
    explicit NoteAccessible(CNoteDlg* note)
        : QAccessibleWidget(note, QAccessible::Dialog)
    {
    }

    QAccessible::Role role() const override
    {
        return Note()->Announces() ? QAccessible::AlertMessage : QAccessible::Dialog;
    }

    // Made when asked rather than kept by every note.
    QString text(QAccessible::Text kind) const override
    {
        if (kind != QAccessible::Description)
            return QAccessibleWidget::text(kind);
        const NoteRow& row = Note()->Row();
        return NoteDescription(
            AtoI(row.Urgency), ShownLine(SeenName(row.Sender), ShownNameLength), AtoI(row.Stamp));
    }

private:
    const CNoteDlg* Note() const { return static_cast<const CNoteDlg*>(widget()); }
};

QAccessibleInterface* MakeNoteAccessible(const QString& className, QObject* object)
{
    auto* note = qobject_cast<CNoteDlg*>(object);
    if (note == nullptr || className != QLatin1String(CNoteDlg::staticMetaObject.className()))
        return nullptr;
    return new NoteAccessible(note);
}

} // namespace

CNoteDlg::CNoteDlg(const NoteRow& row, int slot, ColorRef background, QWidget* owner, bool announce)
    // A tool window: owned by the main window, kept off the taskbar, and not held back by the
    // main window's modal run.
    : QDialog(owner, NoteWindowFlags(RunsThroughXWayland()))
    , Shown(row)
    , Slot(slot)
    , Announce(announce)
    , Label(new CColorLabel(this))
{
    // A note that arrives while the user types, in the compose dialog or anywhere else, must
    // not take the keyboard; this also asks the window manager not to give it the focus.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // The note is rarely the active window, and its tip of sender and day must show anyway.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    // The black around the label is the note's thin frame. Taken now, so that the label
    // finds its black text already there and needs no colours of its own.
    UseDialogColoursForClass(staticMetaObject);
    ensurePolished();
    Label->setObjectName(QStringLiteral("Label"));
    Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label->setWordWrap(true);
    // A little air between the frame and the text; the coloured label still fills the note.
    Label->setMargin(2);
    // Presses and moves over the text belong to the note: that is where a drag takes hold.
    Label->setAttribute(Qt::WA_TransparentForMouseEvents);
    // A note never changes once painted; it keeps no image of itself between paints.
    ReleaseBackingStoreAfterPaint(this);
    Label->SetColors(background, 0);
    const QString sender = ShownLine(SeenName(Shown.Sender), ShownNameLength);
    setToolTip(PlainTip(NoteTipText(sender, AtoI(Shown.Stamp)), ShownNoteLength));
    // The note itself takes the keys: it has nothing else that could.
    setFocusPolicy(Qt::TabFocus);
    Label->ShowFocusOf(this);
    static const bool accessible = (QAccessible::installFactory(MakeNoteAccessible), true);
    Q_UNUSED(accessible);
}

CNoteDlg::~CNoteDlg() = default;

void CNoteDlg::showEvent(QShowEvent* event)
{
    if (!Initialised) {
        Initialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CNoteDlg::OnInitDialog()
{
    Dragging = false;
    Label->setText(Shown.Text);
    // Task switchers, screen-share pickers and screen readers name the note by what it says,
    // on one line; Qt would take a "[*]" in it for the modified mark, and "[*][*]" shows one.
    setWindowTitle(ShownLine(Shown.Text, ShownNoteLength)
                       .replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
    // To the front, but without the keyboard: a note that arrives must not take the keys
    // from whatever the user is typing.
    raise();
}

void CNoteDlg::AnnounceNow()
{
    if (Announce)
        return;
    Announce = true;
    // Screen readers keep the role they once read: the note comes to them as a new object,
    // an alert that shows.
    if (QAccessibleInterface* told = QAccessible::queryAccessibleInterface(this))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(told));
    if (isVisible()) {
        QAccessibleEvent shows(this, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shows);
    }
}

void CNoteDlg::TakeFocus()
{
    raise();
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void CNoteDlg::FocusNeighbour(bool next)
{
    QList<CNoteDlg*> notes;
    for (CNoteDlg* note : parentWidget()->findChildren<CNoteDlg*>(Qt::FindDirectChildrenOnly)) {
        if (note->isVisible())
            notes.append(note);
    }
    std::sort(notes.begin(), notes.end(),
        [](const CNoteDlg* a, const CNoteDlg* b) { return a->Slot < b->Slot; });
    const auto count = notes.size();
    const auto at = notes.indexOf(this);
    if (count > 1 && at >= 0)
        notes[(at + (next ? 1 : count - 1)) % count]->TakeFocus();
}

void CNoteDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    Label->setGeometry(NoteLabelRect(size()));
}

void CNoteDlg::HideNote()
{
    hide();
}

void CNoteDlg::RequestDelete()
{
    Q_EMIT DeleteRequested(Shown.Key, Slot);
}

void CNoteDlg::ResizeNote(bool grow)
{
    const QSize newSize = ResizedNoteSize(size(), grow);
    Width = newSize.width();
    Height = newSize.height();
    // A frameless window keeps its top-left corner when resized; the label follows.
    resize(newSize);
    Label->setText(Shown.Text);
    showNormal();
}

void CNoteDlg::OnMenuCommand(int id)
{
    switch (id) {
    case HideCommand:
        HideNote();
        break;
    case DeleteCommand:
        RequestDelete();
        break;
    case EnlargeCommand:
        ResizeNote(true);
        break;
    case ShrinkCommand:
        ResizeNote(false);
        break;
    case ReplyCommand:
        if (!Shown.Sender.isEmpty())
            Q_EMIT ReplyRequested(Shown.Sender);
        break;
    default:
        break;
    }
}

void CNoteDlg::OpenMenu(QPoint screenPoint)
{
    // Not run modally: the handler returns at once, and a menu still open when the owner
    // removes the note goes with it.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const MenuItem& item : NoteMenu) {
        if (item.Id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(tr(item.Text));
        action->setData(item.Id);
        action->setEnabled(item.Id != ReplyCommand || !Shown.Sender.isEmpty());
    }
    connect(menu, &QMenu::triggered, this,
        [this](QAction* action) { OnMenuCommand(action->data().toInt()); });
    menu->popup(screenPoint);
}

void CNoteDlg::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
        Q_EMIT Touched();
    if (event->button() == Qt::LeftButton) {
        Width = width();
        Height = height();
        GrabPoint = event->position().toPoint();
        Dragging = true;
    } else if (event->button() == Qt::RightButton) {
        OpenMenu(event->globalPosition().toPoint());
    }
    QDialog::mousePressEvent(event);
}

void CNoteDlg::mouseMoveEvent(QMouseEvent* event)
{
    // While the button is held Qt delivers every move to the note, also outside it. A release
    // that never arrived (a menu took the mouse mid-drag) must not leave the note stuck to
    // the pointer, so the button is checked too.
    if (Dragging && (event->buttons() & Qt::LeftButton)) {
        const QPoint topLeft = DraggedNotePosition(event->globalPosition().toPoint(), GrabPoint);
        setGeometry(QRect(topLeft, QSize(Width, Height)));
    }
    QDialog::mouseMoveEvent(event);
}

void CNoteDlg::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Dragging = false;
    QDialog::mouseReleaseEvent(event);
}

void CNoteDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Menu
        || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        Q_EMIT Touched();
        OpenMenu(mapToGlobal(rect().center()));
        return;
    }
    switch (event->key()) {
    case Qt::Key_Delete:
        RequestDelete();
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        FocusNeighbour(true);
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        FocusNeighbour(false);
        break;
    default:
        // Not the dialog's keys: Escape would hide the note unseen.
        // NOLINTNEXTLINE(bugprone-parent-virtual-call): passing QDialog by is the point
        QWidget::keyPressEvent(event);
        break;
    }
}

bool CNoteDlg::focusNextPrevChild(bool next)
{
    FocusNeighbour(next);
    return true;
}

} // namespace vimo
