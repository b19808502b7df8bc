#include "StoreData.h"

#include "VimoAdapter.h"

#include <cstdio>

namespace vimo::bench {
namespace {

bool Must(Engine& engine, const std::string& statement)
{
    if (engine.Run(statement))
        return true;
    std::fprintf(stderr, "%s: %s\n", statement.c_str(), engine.LastMessage().c_str());
    return false;
}

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

int Recipient(int key)
{
    return key <= ActiveUsers * 10 ? key % ActiveUsers
                                   : ActiveUsers + key % (StoreUsers - ActiveUsers);
}

} // namespace

QString UserName(int index)
{
    return QStringLiteral("USER%1").arg(index, 3, 10, QLatin1Char('0'));
}

bool FillStore(Engine& engine, bool postgres, int notes, bool withIndexes)
{
    const QStringList schema = SchemaStatements(withIndexes);
    if (postgres) {
        if (!Must(engine, "DROP TABLE IF EXISTS MSGS, USRS, RCPTS"))
            return false;
        for (int i = 0; i < 5; ++i) {
            if (!Must(engine, Utf8(schema[i])))
                return false;
        }
        // The server makes the rows itself: a million inserts through the wire would take
        // longer than the measurements.
        const std::string user = "'USER' || lpad((%1)::text, 3, '0')";
        auto userOf = [&](const std::string& expression) {
            return QString::fromStdString(user)
                .arg(QString::fromStdString(expression))
                .toStdString();
        };
        if (!Must(engine,
                "INSERT INTO USRS SELECT " + userOf("i") + " FROM generate_series(0, "
                    + std::to_string(StoreUsers - 1) + ") i")
            || !Must(engine,
                "INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,URGENCY,TKEY) SELECT "
                "'Note number ' || k || ' about lunch', "
                    + userOf("CASE WHEN k <= " + std::to_string(ActiveUsers * 10) + " THEN k % "
                        + std::to_string(ActiveUsers) + " ELSE " + std::to_string(ActiveUsers)
                        + " + k % " + std::to_string(StoreUsers - ActiveUsers) + " END")
                    + ", " + userOf("k * 7 % " + std::to_string(StoreUsers))
                    + ", 20261207, 1 + k % 3, k FROM generate_series(1, " + std::to_string(notes)
                    + ") k"))
            return false;
    } else {
        if (!Must(engine, "DROP TABLE IF EXISTS MSGS") || !Must(engine, "DROP TABLE IF EXISTS USRS")
            || !Must(engine, "DROP TABLE IF EXISTS RCPTS"))
            return false;
        for (int i = 0; i < 5; ++i) {
            if (!Must(engine, Utf8(schema[i])))
                return false;
        }
        if (!Must(engine, "BEGIN"))
            return false;
        for (int user = 0; user < StoreUsers; ++user) {
            if (!Must(engine, Utf8(AddUserSqlStatement(UserName(user)))))
                return false;
        }
        for (int key = 1; key <= notes; ++key) {
            const QString post
                = PostNoteStatement(QStringLiteral("Note number %1 about lunch").arg(key),
                    UserName(Recipient(key)), UserName(key * 7 % StoreUsers), key, 1 + key % 3);
            if (!Must(engine, Utf8(post)))
                return false;
        }
        if (!Must(engine, "COMMIT"))
            return false;
    }
    for (int i = 5; i < schema.size(); ++i) {
        if (!Must(engine, Utf8(schema[i])))
            return false;
    }
    return !postgres || Must(engine, "ANALYZE MSGS");
}

bool DropIndexes(Engine& engine, bool postgres)
{
    return Must(engine, "DROP INDEX MSGS_TKEY") && Must(engine, "DROP INDEX MSGS_RECIPIENT")
        && (!postgres || Must(engine, "ANALYZE MSGS"));
}

} // namespace vimo::bench
