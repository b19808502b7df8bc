#include "TestEnvironment.h"

#include "dialogs/CComposeDlg.h"
#include "dialogs/CFileChooserDlg.h"
#include "dialogs/CLoginDlg.h"
#include "dialogs/CSentDlg.h"
#include "dialogs/CYesNoDlg.h"
#include "notes/CNoteDlg.h"

#include <QApplication>
#include <QDialog>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include <functional>
#include <memory>

using namespace vimo;

namespace {

using Maker = std::function<std::unique_ptr<QDialog>()>;

// How many pixels of the label's place on screen differ from its most common colour: none
// when its text is drawn in the colour of the ground it stands on.
int InkedPixels(QDialog& dialog, const QLabel& label)
{
    const QImage shot
        = dialog.grab(QRect(label.mapTo(&dialog, QPoint(0, 0)), label.size())).toImage();
    QHash<QRgb, int> counts;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x)
            ++counts[shot.pixel(x, y)];
    }
    int ground = 0;
    for (const int count : std::as_const(counts))
        ground = std::max(ground, count);
    return shot.width() * shot.height() - ground;
}

} // namespace

// The program's dialogs are black and show their texts through colour labels; the boxes and
// the file dialog that the desktop lends it must stay readable.
class TestDialogColours : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theProgramsDialogsAreBlack()
    {
        QWidget owner;
        CLoginDlg login(test::TestWorker());
        CComposeDlg compose(test::TestWorker(), {});
        CYesNoDlg question;
        CNoteDlg note({}, 0, 0, &owner);
        CSentDlg sent;
        for (QDialog* dialog :
            std::initializer_list<QDialog*> { &login, &compose, &question, &note, &sent }) {
            dialog->ensurePolished();
            QCOMPARE(dialog->palette().color(QPalette::Window), QColor(Qt::black));
            QCOMPARE(dialog->palette().color(QPalette::WindowText), QColor(Qt::black));
        }
        // A new desktop palette, as when the user switches themes, leaves the notes black,
        // those open and those to come.
        const QPalette desktop = QApplication::palette();
        note.show();
        QApplication::setPalette(QPalette(Qt::darkBlue));
        CNoteDlg later({}, 0, 0, &owner);
        later.show();
        for (const QDialog* dialog : { &note, &later })
            QCOMPARE(dialog->palette().color(QPalette::Window), QColor(Qt::black));
        QApplication::setPalette(desktop);
    }

    void desktopDialogsShowTheirTexts_data()
    {
        test::Columns<Maker, QString>("make", "labelName");

        QTest::addRow("an alert") << Maker([] {
            return std::make_unique<QMessageBox>(QMessageBox::NoIcon, QStringLiteral("VIMO!!"),
                QStringLiteral("User name must be Valid"), QMessageBox::Ok);
        }) << QStringLiteral("qt_msgbox_label");
        QTest::addRow("the file dialog's captions") << Maker([] {
            return std::make_unique<CFileChooserDlg>(QStringLiteral("Vimo"),
                QStringLiteral("Vimo Files (*.vmo)"), QString(), QStringLiteral("vmo"), true);
        }) << QStringLiteral("fileNameLabel");
    }

    void desktopDialogsShowTheirTexts()
    {
        QFETCH(Maker, make);
        QFETCH(QString, labelName);
        const std::unique_ptr<QDialog> dialog = make();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        const auto* label = dialog->findChild<QLabel*>(labelName);
        QVERIFY(label != nullptr);
        QVERIFY(!label->text().isEmpty());
        QVERIFY2(InkedPixels(*dialog, *label) > 20, "the text cannot be told from its ground");
        QVERIFY(dialog->palette().color(QPalette::Window) != QColor(Qt::black));
    }
};

VIMO_TEST_MAIN(TestDialogColours, QApplication)
#include "TestDialogColours.moc"
