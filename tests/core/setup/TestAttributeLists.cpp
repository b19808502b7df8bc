#include "TestEnvironment.h"

#include "setup/AttributeLists.h"

#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

// The lists handed to the ODBC installer, byte for byte: every entry ends in a NUL and the
// list in one more.
class TestAttributeLists : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lists_data()
    {
        test::Columns<QByteArray, QByteArray, QString>("list", "expected", "firstEntry");

        const QString path = u"/srv/office/notes.vmo"_s;
        QTest::addRow("creation") << CreationList(path)
                                  << "CREATE_DB=\"/srv/office/notes.vmo\" General\0\0"_ba
                                  << u"CREATE_DB=\"/srv/office/notes.vmo\" General"_s;
        QTest::addRow("repair") << RepairList(path) << "REPAIR_DB=/srv/office/notes.vmo\0\0"_ba
                                << u"REPAIR_DB=/srv/office/notes.vmo"_s;
        QTest::addRow("registration")
            << RegistrationList(path)
            << "DSN=VIMO\0Description=Vimo File\0DBQ=/srv/office/notes.vmo\0\0"_ba << u"DSN=VIMO"_s;
        QTest::addRow("path") << PathList(path) << "DSN=VIMO\0DBQ=/srv/office/notes.vmo\0\0"_ba
                              << u"DSN=VIMO"_s;

        const QString spaced = u"/home/jo/Büro Notizen/a b.vmo"_s;
        QTest::addRow("creation, blanks and umlaut in the path")
            << CreationList(spaced)
            << "CREATE_DB=\"/home/jo/B\xc3\xbcro Notizen/a b.vmo\" General\0\0"_ba
            << u"CREATE_DB=\"/home/jo/Büro Notizen/a b.vmo\" General"_s;
        QTest::addRow("path, blanks and umlaut in the path")
            << PathList(spaced) << "DSN=VIMO\0DBQ=/home/jo/B\xc3\xbcro Notizen/a b.vmo\0\0"_ba
            << u"DSN=VIMO"_s;
    }

    void lists()
    {
        QFETCH(QByteArray, list);
        QFETCH(QByteArray, expected);
        QFETCH(QString, firstEntry);
        QCOMPARE(list, expected);
        QCOMPARE(FirstEntry(list), firstEntry);
    }

    void aLongPathIsNeverCut()
    {
        const QString path = u"/"_s + QString(2000, u'x') + u".vmo"_s;
        const QByteArray list = PathList(path);
        QCOMPARE(list.size(), qsizetype(9 + 4 + path.size() + 2));
        QVERIFY(list.endsWith(path.toUtf8() + "\0\0"_ba));
    }
};

VIMO_TEST_MAIN(TestAttributeLists, QCoreApplication)
#include "TestAttributeLists.moc"
