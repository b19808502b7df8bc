// Times the two queries every copy runs most: the poll (every 20 s) and the next-key query
// (every post), on a SQLite data file with many notes, with the indexes a new file gets and
// without them, as in a file made by an older copy. Prints figures; never fails on time.
//   vimo_bench_poll [notes] [users]

#include "TestEnvironment.h"

#include "store/Statements.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <sqlite3.h>

#include <cstdio>
#include <functional>

using namespace vimo;

namespace {

QString UserName(int index)
{
    return QStringLiteral("USER%1").arg(index, 3, 10, QLatin1Char('0'));
}

// The data file, filled directly in one transaction: the figures are about reading.
bool MakeDataFile(const QString& path, int notes, int users, bool withIndexes)
{
    QFile::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK)
        return false;
    QStringList schema = { NotesTableCreation(), UsersTableCreation() };
    if (withIndexes)
        schema << NotesKeyIndexCreation() << NotesRecipientIndexCreation();
    bool ok = true;
    for (const QString& statement : schema)
        ok = ok
            && sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr)
                == SQLITE_OK;
    ok = ok && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    for (int user = 0; ok && user < users; ++user)
        ok = sqlite3_exec(db, AddUserStatement(UserName(user)).toUtf8().constData(), nullptr,
                 nullptr, nullptr)
            == SQLITE_OK;
    for (int key = 1; ok && key <= notes; ++key) {
        const QString post = PostStatement(QStringLiteral("Note number %1 about lunch").arg(key),
            UserName(key % users), UserName((key * 7) % users), QStringLiteral("20261206"), key,
            QChar(u'1' + key % 3));
        ok = sqlite3_exec(db, post.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Mean milliseconds per run over enough runs to last about a second.
double MeanMilliseconds(const std::function<void()>& run)
{
    QElapsedTimer clock;
    clock.start();
    int runs = 0;
    while (runs < 3 || (clock.elapsed() < 1000 && runs < 10000)) {
        run();
        ++runs;
    }
    return double(clock.nsecsElapsed()) / 1e6 / runs;
}

} // namespace

int main(int argc, char* argv[])
{
    test::IsolateUserFiles();
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int notes = arguments.size() > 1 ? arguments[1].toInt() : 100000;
    const int users = arguments.size() > 2 ? arguments[2].toInt() : 200;
    if (notes < 1 || users < 1) {
        std::fprintf(stderr, "usage: %s [notes] [users]\n", argv[0]);
        return 2;
    }

    std::printf("%d notes for %d users (%d notes per user), SQLite through ODBC\n", notes, users,
        notes / users);
    std::printf("%-34s %12s %12s\n", "", "poll (ms)", "next key (ms)");
    for (const bool withIndexes : { true, false }) {
        const QString path
            = QDir(test::TestRoot())
                  .filePath(withIndexes ? QStringLiteral("new.vmo") : QStringLiteral("old.vmo"));
        if (!MakeDataFile(path, notes, users, withIndexes)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(path));
            return 1;
        }
        test::WriteOdbcIni(
            QStringLiteral("[VIMO]\nDriver=%1\nDatabase=%2\nNoCreat=1\nTimeout=5000\n")
                .arg(QStringLiteral(VIMO_DRIVER_NAME), path));
        Store store;
        if (store.Connect() < 0) {
            std::fprintf(stderr, "cannot connect to %s\n", qPrintable(path));
            return 1;
        }

        int user = 0;
        qsizetype polled = 0;
        const double poll = MeanMilliseconds(
            [&] { polled = store.PollKeys(UserName(user++ % users)).Value.size(); });
        int maxKey = 0;
        const double nextKey = MeanMilliseconds([&] { maxKey = store.LargestKey().Value; });
        if (polled != notes / users || maxKey != notes)
            std::fprintf(stderr, "unexpected results: %lld keys, max %d\n", qint64(polled), maxKey);
        std::printf("%-34s %12.3f %12.3f\n",
            withIndexes ? "new file (key and recipient index)" : "old file (no index)", poll,
            nextKey);
    }
    return 0;
}
