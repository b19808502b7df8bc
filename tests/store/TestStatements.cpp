#include "TestEnvironment.h"

#include "store/Statements.h"

#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

// Every statement text to the letter: other copies, older ones included, share the file and
// read what these write.
class TestStatements : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void statementTexts_data()
    {
        test::Columns<QString, QString>("statement", "expected");

        QTest::addRow("user list") << UserListQuery() << u"SELECT DISTINCT RECIPIENT FROM USRS"_s;
        QTest::addRow("user lookup for O'NEIL") << UserLookupQuery(
            u"O'NEIL"_s) << u"SELECT RECIPIENT FROM USRS WHERE RECIPIENT='O''NEIL'"_s;
        QTest::addRow("user lookup cuts trailing blanks")
            << UserLookupQuery(u"ANN  "_s) << u"SELECT RECIPIENT FROM USRS WHERE RECIPIENT='ANN'"_s;
        QTest::addRow("add user") << AddUserStatement(u"O'NEIL "_s)
                                  << u"INSERT INTO USRS (RECIPIENT) VALUES('O''NEIL')"_s;
        QTest::addRow("poll for ANN")
            << PollQuery(u"ANN"_s) << u"SELECT TKEY FROM MSGS WHERE RECIPIENT='ANN'"_s;
        QTest::addRow("poll for O'NEIL")
            << PollQuery(u"O'NEIL"_s) << u"SELECT TKEY FROM MSGS WHERE RECIPIENT='O''NEIL'"_s;
        QTest::addRow("urgency") << UrgencyQuery(18) << u"SELECT URGENCY FROM MSGS WHERE TKEY=18"_s;
        QTest::addRow("urgency of a negative key")
            << UrgencyQuery(-3) << u"SELECT URGENCY FROM MSGS WHERE TKEY=-3"_s;
        QTest::addRow("note text") << NoteTextQuery(7) << u"SELECT MSG FROM MSGS WHERE TKEY=7"_s;
        QTest::addRow("next key") << NextKeyQuery() << u"SELECT MAX(TKEY) FROM MSGS"_s;
        QTest::addRow("post from BOB to ANN")
            << PostStatement(u"Lunch at one?"_s, u"ANN"_s, u"BOB"_s, u"20261206"_s, 18, u'2')
            << u"INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) "
               "VALUES('Lunch at one?','ANN','BOB',20261206,18,2)"_s;
        QTest::addRow("post quotes every text and keeps placeholders literal")
            << PostStatement(u"it's %1 \n"_s, u"O'NEIL"_s, u"D'ARCY "_s, u"0"_s, 1, u'3')
            << u"INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) "
               "VALUES('it''s %1','O''NEIL','D''ARCY',0,1,3)"_s;
        QTest::addRow("delete") << DeleteStatement(18) << u"DELETE FROM MSGS WHERE TKEY=18"_s;
        QTest::addRow("notes table")
            << NotesTableCreation()
            << u"CREATE TABLE MSGS(MSG CHAR(250) NULL,RECIPIENT CHAR(15) NULL,SENDER CHAR(15) "
               "NULL,DT INT,URGENCY INT,TKEY INT)"_s;
        QTest::addRow("users table")
            << UsersTableCreation() << u"CREATE TABLE USRS(RECIPIENT CHAR(15))"_s;
        QTest::addRow("unique key index")
            << NotesKeyIndexCreation() << u"CREATE UNIQUE INDEX MSGS_TKEY ON MSGS(TKEY)"_s;
        QTest::addRow("recipient index")
            << NotesRecipientIndexCreation() << u"CREATE INDEX MSGS_RECIPIENT ON MSGS(RECIPIENT)"_s;
    }

    void statementTexts()
    {
        QFETCH(QString, statement);
        QFETCH(QString, expected);
        QCOMPARE(statement, expected);
    }
};

VIMO_TEST_MAIN(TestStatements, QCoreApplication)
#include "TestStatements.moc"
