#include "TestEnvironment.h"
#include "TestWidgets.h"

#include "dialogs/CFileChooserDlg.h"
#include "dialogs/CYesNoDlg.h"
#include "dialogs/DesktopPrompts.h"
#include "prompts/Prompts.h"
#include "widgets/CColorLabel.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace vimo;
using namespace Qt::StringLiterals;

namespace {

void TypeName(QFileDialog* dialog, const QString& name)
{
    auto* edit = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
    QVERIFY(edit != nullptr);
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

} // namespace

// The two small dialogs of opening the store.
class TestStoreDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onlyOurOwnDialogsAreBlack()
    {
        InstallDesktopPrompts();
        QPalette alertColours;
        test::WhenModal<QMessageBox>([&alertColours](QMessageBox* box) {
            alertColours = box->palette();
            box->accept();
        });
        ShowAlert(u"DSN=VIMO"_s);
        QVERIFY(alertColours.color(QPalette::WindowText) != alertColours.color(QPalette::Window));

        CFileChooserDlg chooser(u"Vimo"_s, u"Vimo Files (*.vmo)"_s, QString(), u"vmo"_s, true);
        chooser.ensurePolished();
        QVERIFY(chooser.palette().color(QPalette::WindowText)
            != chooser.palette().color(QPalette::Window));

        CYesNoDlg question;
        question.ensurePolished();
        QCOMPARE(question.palette().color(QPalette::Window), QColor(Qt::black));
    }

    void enterAnswersYes()
    {
        InstallDesktopPrompts();
        QString shownQuestion;
        QColor background;
        test::WhenModal<CYesNoDlg>([&](CYesNoDlg* dialog) {
            auto* label = dialog->findChild<CColorLabel*>(u"QuestionLabel"_s);
            shownQuestion = label->text();
            background = test::ColourAt(label, QPoint(1, 1));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        QVERIFY(AskYesNo(u"Create New File"_s));
        QCOMPARE(shownQuestion, u"Create New File"_s);
        QCOMPARE(background, QColor(Qt::yellow));
    }

    void escapeAnswersNo()
    {
        InstallDesktopPrompts();
        test::WhenModal<CYesNoDlg>(
            [](CYesNoDlg*) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
        QVERIFY(!AskYesNo(u"Add new User"_s));
    }

    void theButtonsAnswer()
    {
        CYesNoDlg dialog;
        dialog.Question = u"Create New File"_s;
        test::WhenModal<CYesNoDlg>(
            [](CYesNoDlg* d) { d->findChild<QPushButton*>(u"NoButton"_s)->click(); });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        test::WhenModal<CYesNoDlg>(
            [](CYesNoDlg* d) { d->findChild<QPushButton*>(u"YesButton"_s)->click(); });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    }

    void theDesktopFileChoiceStartsInTheDataFolder()
    {
        QTemporaryDir folder;
        test::WriteDataFolderSetting(folder.path());
        InstallDesktopPrompts();
        QString title, directory;
        QStringList filters;
        QFileDialog::FileMode mode = QFileDialog::Directory;
        test::WhenModal<CFileChooserDlg>([&](CFileChooserDlg* d) {
            title = d->windowTitle();
            directory = d->directory().path();
            filters = d->nameFilters();
            mode = d->fileMode();
            d->reject();
        });
        QCOMPARE(ChooseDataFile(u"Vimo Files (*.vmo)"_s, u"*.vmo"_s, u"Vimo"_s, u"vmo"_s, false),
            QString());
        QCOMPARE(title, u"Vimo"_s);
        QCOMPARE(QDir(directory).canonicalPath(), QDir(folder.path()).canonicalPath());
        QCOMPARE(filters, QStringList { u"Vimo Files (*.vmo)"_s });
        QCOMPARE(mode, QFileDialog::ExistingFile);
    }

    void aTypedNameWithoutExtensionEndsInVmo()
    {
        QTemporaryDir folder;
        CFileChooserDlg dialog(u"Vimo"_s, u"Vimo Files (*.vmo)"_s, folder.path(), u"vmo"_s, true);
        QCOMPARE(dialog.windowTitle(), u"Vimo"_s);
        QCOMPARE(dialog.nameFilters(), QStringList { u"Vimo Files (*.vmo)"_s });
        QCOMPARE(QDir(dialog.directory()).canonicalPath(), QDir(folder.path()).canonicalPath());
        QString createQuestion;
        test::WhenModal<CFileChooserDlg>([&](CFileChooserDlg* d) {
            // Asked to confirm the new file, the user says yes.
            test::WhenModal<QMessageBox>([&](QMessageBox* box) {
                createQuestion = box->text();
                box->button(QMessageBox::Yes)->click();
            });
            TypeName(d, u"office"_s);
        });
        const QString chosen = dialog.Choose();
        QCOMPARE(QFileInfo(chosen).absolutePath(), folder.path());
        QCOMPARE(QFileInfo(chosen).fileName(), u"office.vmo"_s);
        QVERIFY(createQuestion.contains(u"office.vmo"_s));
        // The dialog makes no file; the set-up does.
        QVERIFY(!QFileInfo::exists(chosen));
    }

    void refusingToCreateKeepsTheDialogOpen()
    {
        QTemporaryDir folder;
        CFileChooserDlg dialog(u"Vimo"_s, u"Vimo Files (*.vmo)"_s, folder.path(), u"vmo"_s, true);
        bool stayedOpen = false;
        test::WhenModal<CFileChooserDlg>([&](CFileChooserDlg* d) {
            test::WhenModal<QMessageBox>([&stayedOpen, d](QMessageBox* box) {
                box->button(QMessageBox::No)->click();
                QTimer::singleShot(0, d, [&stayedOpen, d] {
                    stayedOpen = d->isVisible();
                    d->reject();
                });
            });
            TypeName(d, u"office"_s);
        });
        QCOMPARE(dialog.Choose(), QString());
        QVERIFY(stayedOpen);
    }

    void anExistingFileIsChosenWithoutQuestion()
    {
        QTemporaryDir folder;
        QFile file(folder.filePath(u"shared.vmo"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        CFileChooserDlg dialog(u"Vimo"_s, u"Vimo Files (*.vmo)"_s, folder.path(), u"vmo"_s, false);
        test::WhenModal<CFileChooserDlg>([](CFileChooserDlg* d) { TypeName(d, u"shared"_s); });
        QCOMPARE(
            QFileInfo(dialog.Choose()).canonicalFilePath(), QFileInfo(file).canonicalFilePath());
    }

    void aMissingFileIsRefusedAndNotReturnedAfterCancel()
    {
        QTemporaryDir folder;
        CFileChooserDlg dialog(u"Vimo"_s, u"Vimo Files (*.vmo)"_s, folder.path(), u"vmo"_s, false);
        bool warned = false;
        test::WhenModal<CFileChooserDlg>([&](CFileChooserDlg* d) {
            test::WhenModal<QMessageBox>([&warned, d](QMessageBox* box) {
                warned = true;
                box->accept();
                QTimer::singleShot(0, d, &QDialog::reject);
            });
            TypeName(d, u"missing"_s);
        });
        QCOMPARE(dialog.Choose(), QString());
        QVERIFY(warned);
    }

    void enteringAFolderThenCancellingChoosesNothing()
    {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir(u"sub"_s));
        CFileChooserDlg dialog(u"Vimo"_s, u"Vimo Files (*.vmo)"_s, folder.path(), u"vmo"_s, true);
        QString enteredFolder;
        test::WhenModal<CFileChooserDlg>([&enteredFolder](CFileChooserDlg* d) {
            TypeName(d, u"sub"_s);
            QTimer::singleShot(0, d, [&enteredFolder, d] {
                if (d->isVisible())
                    enteredFolder = d->directory().path();
                d->reject();
            });
        });
        QCOMPARE(dialog.Choose(), QString());
        QCOMPARE(QFileInfo(enteredFolder).fileName(), u"sub"_s);
    }
};

VIMO_TEST_MAIN(TestStoreDialogs, QApplication)
#include "TestStoreDialogs.moc"
