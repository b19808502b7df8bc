#include "TestEnvironment.h"

#include "model/NoteRow.h"
#include "store/Statements.h"

#include <QTest>

using namespace vimo;
using namespace Qt::StringLiterals;

namespace {

// The text as sent and its values: texts in quotes, numbers bare.
QString Shown(const SqlStatement& statement)
{
    QStringList values;
    for (const SqlValue& value : statement.Values) {
        if (const QString* text = std::get_if<QString>(&value))
            values << u'"' + *text + u'"';
        else
            values << QString::number(std::get<qint64>(value));
    }
    return values.isEmpty() ? statement.Text : statement.Text + u" <- "_s + values.join(u", "_s);
}

} // namespace

// Every statement text to the letter, and the values bound to it: other copies, older ones
// included, share the file and read what these write.
class TestStatements : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void statementTexts_data()
    {
        test::Columns<QString, QString>("statement", "expected");

        QTest::addRow("user list") << UserListQuery() << u"SELECT DISTINCT RECIPIENT FROM USRS"_s;
        QTest::addRow("user lookup for O'NEIL")
            << Shown(UserLookupQuery(u"O'NEIL"_s))
            << u"SELECT RECIPIENT FROM USRS WHERE RECIPIENT=? <- \"O'NEIL\""_s;
        QTest::addRow("user lookup cuts trailing blanks")
            << Shown(UserLookupQuery(u"ANN  "_s))
            << u"SELECT RECIPIENT FROM USRS WHERE RECIPIENT=? <- \"ANN\""_s;
        QTest::addRow("add user") << Shown(AddUserStatement(u"O'NEIL "_s))
                                  << u"INSERT INTO USRS (RECIPIENT) VALUES(?) <- \"O'NEIL\""_s;
        QTest::addRow("the poll reads whole rows")
            << Shown(NotesQuery(u"ANN "_s))
            << u"SELECT TKEY,SENDER,DT,URGENCY,MSG FROM MSGS WHERE RECIPIENT=? <- \"ANN\""_s;
        QTest::addRow("next key") << NextKeyQuery() << u"SELECT MAX(TKEY) FROM MSGS"_s;
        QTest::addRow("post from BOB to ANN: stamp, key and urgency are numbers")
            << Shown(PostStatement(u"Lunch at one?"_s, u"ANN"_s, u"BOB"_s, u"20261206"_s, 18, u'2'))
            << u"INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) VALUES(?,?,?,?,?,?) <- "
               "\"Lunch at one?\", \"ANN\", \"BOB\", 20261206, 18, 2"_s;
        QTest::addRow("post cuts every text and keeps quotes and placeholders as typed")
            << Shown(PostStatement(u"it's %1 \n"_s, u"O'NEIL"_s, u"D'ARCY "_s, u"0"_s, 1, u'3'))
            << u"INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) VALUES(?,?,?,?,?,?) <- "
               "\"it's %1\", \"O'NEIL\", \"D'ARCY\", 0, 1, 3"_s;
        QTest::addRow("a deletion names the row as read, NULLs and all")
            << Shown(DeleteNoteStatement({ 7, u"ANN"_s, {}, {}, u"2"_s, u"C:\\temp\\"_s }))
            << u"DELETE FROM MSGS WHERE TKEY=? AND RECIPIENT=? AND COALESCE(SENDER,'')='' AND "
               "DT IS NULL AND URGENCY=? AND MSG=? <- 7, \"ANN\", 2, \"C:\\temp\\\""_s;
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
