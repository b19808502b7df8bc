// Many copies of Vimo on one PostgreSQL server, directly or through a pooler, in one process.
//   vimo_bench_clients CONNINFO LEVELS WINDOW_S POSTS_PER_HOUR SERVER_PID
//                      [POOLER_PID [LISTEN [BROKER BROKER_PID [FIRST/OFFICE]]]]
// Each simulated copy holds one connection and sends, on the wire, what the program sends
// through psqlODBC (simple query protocol, the driver's statements at connect, then the
// program's own): every 20 s the poll, which reads each note whole; the receipts of the notes
// that showed (stamped again at the next poll, as the program does); the user deletes a note
// at the poll after it showed, and its receipt is stamped; now and then it posts (next key,
// insert, the program's retry on a taken key, then the sender's record and its pruning), and
// at sign-in and every five minutes on average its user's presence beat. LEVELS are
// client counts, reached in turn; at each the load runs WINDOW_S seconds and one "clients" row is
// printed. With LISTEN (a conninfo) each copy also holds the link that waits for the wake-up
// trigger's announcements, there, and polls when one comes, as the program's wake-up does (after
// a quiet 100 ms, never sooner than a second after the last); the row then says how soon after
// the post it came, and how soon the note was read by its addressee's poll. With BROKER
// (host:port of an MQTT broker, LISTEN empty) each copy instead holds a broker link through
// libmosquitto, subscribed to its own topic, and the sender publishes an empty wake-up to the
// addressee's topic once its insert is answered. After the window the copies go on polling,
// without posting, for one poll period and a little: a note still unread then is lost.
// With FIRST/OFFICE the process plays copies FIRST, FIRST+1, ... of an office of OFFICE copies
// and posts to any of them, so that several processes can share a large office (each under the
// descriptor limit): once its copies are connected it prints a "ready" row and waits for a line
// on standard input before the window, and every run prints its samples and its posts, reads
// and wake-ups with their times on the machine's monotonic clock, for the suite to merge.

#include "Figures.h"
#include "VimoAdapter.h"

#include <libpq-fe.h>
#include <mosquitto.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <queue>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include <dirent.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace vimo::bench;

namespace {

constexpr double PollPeriodMs = 20000;
// The program's wake-up: a quiet wait, and the least gap between two wake-up polls.
constexpr double QuietMs = 100;
constexpr double LeastGapMs = 1000;
// What psqlODBC sends when it connects, with the data source's ConnSettings.
const char* const ConnectStatements[] = {
    "SET DateStyle = 'ISO';SET extra_float_digits = 2;show transaction_isolation",
    "SET client_encoding TO 'UTF8'",
    "select oid, typbasetype from pg_type where typname = 'lo'",
};

enum class Kind { Connect, Poll, Receipt, Delete, NextKey, Insert, Presence };

struct Step {
    Kind What;
    std::string Text;
    int Attempt = 1;
    NoteValues Note = {}; // of an insert
};

struct Client {
    int Index = 0;
    Client* Copy = nullptr; // a listening link: the copy it wakes
    mosquitto* Mqtt = nullptr; // a broker link
    double LastWake = -1e9; // of a copy: its last wake-up poll
    bool WakeDue = false;
    bool Heard = false; // of a broker link: a wake-up came in the call just made
    PGconn* Conn = nullptr;
    int Socket = -1;
    bool Ready = false; // connected and set up
    bool Busy = false;
    double SentAt = 0;
    double ConnectStart = 0;
    std::deque<Step> Steps;
    std::set<int> Shown; // keys whose note this copy shows
    std::map<int, NoteValues> Pending; // shown at the last poll: deleted at the next
    QList<NoteValues> LastShown; // their receipts are stamped once more at the next poll
};

std::string User(int index)
{
    char name[16];
    std::snprintf(name, sizeof name, "C%05d", index);
    return name;
}

std::string Text(const QString& text)
{
    return text.toStdString();
}

// CPU time of a process and of its children (a server's backends), and their number.
struct ProcessTree {
    double CpuMs = 0;
    int Children = 0;
    long ChildrenPssKb = 0;
};

// CPU time in ms from schedstat (exact; stat's clock ticks round each backend's few
// milliseconds away), and the parent from stat.
double CpuMs(int pid, int* parent)
{
    const std::string base = "/proc/" + std::to_string(pid);
    if (parent) {
        std::ifstream stat(base + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            return 0;
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string state;
        int ppid = 0;
        fields >> state >> ppid;
        *parent = ppid;
    }
    std::ifstream schedstat(base + "/schedstat");
    double ns = 0;
    schedstat >> ns;
    return ns / 1e6;
}

ProcessTree Tree(int root, bool memory)
{
    ProcessTree tree;
    if (root <= 0)
        return tree;
    tree.CpuMs = CpuMs(root, nullptr);
    if (DIR* dir = opendir("/proc")) {
        while (dirent* entry = readdir(dir)) {
            const int pid = std::atoi(entry->d_name);
            int parent = 0;
            if (pid <= 0)
                continue;
            const double cpu = CpuMs(pid, &parent);
            if (parent != root)
                continue;
            tree.CpuMs += cpu;
            ++tree.Children;
            if (memory)
                tree.ChildrenPssKb
                    += ProcKb("/proc/" + std::to_string(pid) + "/smaps_rollup", "Pss");
        }
        closedir(dir);
    }
    return tree;
}

class Load {
public:
    Load(std::string conninfo, double postsPerHour, std::string listenConninfo,
        const std::string& broker, int first, int office)
        : First(first)
        , Office(office)
        , Conninfo(std::move(conninfo))
        , ListenConninfo(std::move(listenConninfo))
        , BrokerHost(broker.substr(0, broker.rfind(':')))
        , BrokerPort(broker.empty() ? 0 : std::atoi(broker.substr(broker.rfind(':') + 1).c_str()))
        , Chance(postsPerHour * PollPeriodMs / 3600000.0)
        , PostChance(Chance)
        , Epoll(epoll_create1(0))
        , Random(20261207u + unsigned(first))
    {
    }

    // Starts connections until count clients exist, at most a few hundred in flight.
    void Grow(size_t count)
    {
        while (Clients.size() < count) {
            auto client = std::make_unique<Client>();
            client->Index = First + int(Clients.size());
            Clients.push_back(std::move(client));
            Waiting.push_back(Clients.back().get());
            if (!ListenConninfo.empty() || BrokerPort > 0) {
                auto listener = std::make_unique<Client>();
                listener->Index = Clients.back()->Index;
                listener->Copy = Clients.back().get();
                Listeners.push_back(std::move(listener));
                Waiting.push_back(Listeners.back().get());
            }
        }
        Pump();
    }

    // Serves the load until the time; new connections are started as slots free.
    void RunUntil(double end)
    {
        epoll_event events[256];
        while (NowMs() < end) {
            Pump();
            if (NowMs() >= NextHousekeeping) {
                // Keep-alive pings, as the program's one-second timer does.
                NextHousekeeping = NowMs() + 5000;
                for (const auto& link : Listeners) {
                    if (link->Mqtt && link->Ready) {
                        mosquitto_loop_misc(link->Mqtt);
                        WatchMqtt(*link);
                    }
                }
            }
            double wait = std::min(end, Due.empty() ? end : Due.top().first) - NowMs();
            if (!Wakes.empty())
                wait = std::min(wait, Wakes.top().first - NowMs());
            const int count = epoll_wait(Epoll, events, 256, std::max(0, int(wait)));
            for (int i = 0; i < count; ++i)
                Serve(*static_cast<Client*>(events[i].data.ptr), events[i].events);
            const double now = NowMs();
            while (!Due.empty() && Due.top().first <= now) {
                Client* client = Due.top().second;
                Due.pop();
                Tick(*client, now);
            }
            while (!Wakes.empty() && Wakes.top().first <= now) {
                Client* copy = Wakes.top().second;
                Wakes.pop();
                WakePoll(*copy, now);
            }
        }
    }

    // From here on figures count, and posts, reads and wake-ups are written down.
    void ResetFigures()
    {
        Latency.clear();
        Errors = Posts = Retries = Beats = Published = 0;
        Recording = true;
    }

    // Posts stop, or go on; the copies poll all the same.
    void StopPosting() { PostChance = 0; }
    void ResumePosting()
    {
        PostChance = Chance;
        Recording = false;
    }

    size_t Connected() const { return size_t(ConnectedCount); }
    size_t Connecting() const { return InFlight + Waiting.size(); }

    std::map<Kind, std::vector<double>> Latency;
    int Published = 0;
    int ListenersConnected = 0;
    std::vector<double> ConnectMs;
    int Refused = 0, Dropped = 0, Errors = 0, Posts = 0, Retries = 0, Beats = 0;
    std::map<std::string, int> ErrorTexts;

private:
    static constexpr size_t MaxInFlight = 200;

    void Pump()
    {
        while (InFlight < MaxInFlight && !Waiting.empty()) {
            Client* client = Waiting.front();
            Waiting.pop_front();
            client->ConnectStart = NowMs();
            if (client->Copy && BrokerPort > 0) {
                ConnectMqtt(*client);
                continue;
            }
            client->Conn = PQconnectStart((client->Copy ? ListenConninfo : Conninfo).c_str());
            if (client->Conn == nullptr || PQstatus(client->Conn) == CONNECTION_BAD) {
                Refuse(*client);
                continue;
            }
            ++InFlight;
            Watch(*client, EPOLLOUT);
        }
    }

    void Watch(Client& client, uint32_t what)
    {
        const int socket = PQsocket(client.Conn);
        epoll_event event {};
        event.events = what;
        event.data.ptr = &client;
        if (socket != client.Socket) {
            if (client.Socket >= 0)
                epoll_ctl(Epoll, EPOLL_CTL_DEL, client.Socket, nullptr);
            client.Socket = socket;
            epoll_ctl(Epoll, EPOLL_CTL_ADD, socket, &event);
        } else {
            epoll_ctl(Epoll, EPOLL_CTL_MOD, socket, &event);
        }
    }

    void Forget(Client& client)
    {
        if (client.Socket >= 0)
            epoll_ctl(Epoll, EPOLL_CTL_DEL, client.Socket, nullptr);
        client.Socket = -1;
        PQfinish(client.Conn);
        client.Conn = nullptr;
    }

    void Refuse(Client& client)
    {
        ++Refused;
        const std::string message = client.Conn ? PQerrorMessage(client.Conn) : "out of memory";
        ++ErrorTexts["connect: " + message.substr(0, message.find('\n'))];
        Forget(client);
    }

    void ConnectMqtt(Client& link)
    {
        link.Mqtt = mosquitto_new(nullptr, true, &link);
        // The broker's per-user rules match the name.
        mosquitto_username_pw_set(link.Mqtt, User(link.Copy->Index).c_str(), nullptr);
        mosquitto_connect_callback_set(link.Mqtt, [](mosquitto* mq, void* self, int code) {
            auto* link = static_cast<Client*>(self);
            if (code == 0)
                mosquitto_subscribe(mq, nullptr,
                    WakeupTopicName(QString::fromStdString(User(link->Copy->Index))).c_str(), 0);
        });
        mosquitto_subscribe_callback_set(
            link.Mqtt, [](mosquitto*, void* self, int, int, const int*) {
                auto* link = static_cast<Client*>(self);
                link->Ready = true;
            });
        mosquitto_message_callback_set(
            link.Mqtt, [](mosquitto*, void* self, const mosquitto_message*) {
                static_cast<Client*>(self)->Heard = true;
            });
        const int code = mosquitto_connect_async(link.Mqtt, BrokerHost.c_str(), BrokerPort, 60);
        link.Socket = mosquitto_socket(link.Mqtt);
        if (code != MOSQ_ERR_SUCCESS || link.Socket < 0) {
            ++Refused;
            ++ErrorTexts["broker: " + std::string(mosquitto_strerror(code))];
            mosquitto_destroy(link.Mqtt);
            link.Mqtt = nullptr;
            return;
        }
        ++InFlight;
        epoll_event event {};
        event.events = EPOLLIN | EPOLLOUT;
        event.data.ptr = &link;
        epoll_ctl(Epoll, EPOLL_CTL_ADD, link.Socket, &event);
    }

    void WatchMqtt(Client& link)
    {
        epoll_event event {};
        event.events
            = uint32_t(EPOLLIN) | (mosquitto_want_write(link.Mqtt) ? uint32_t(EPOLLOUT) : 0u);
        event.data.ptr = &link;
        epoll_ctl(Epoll, EPOLL_CTL_MOD, link.Socket, &event);
    }

    void ServeMqtt(Client& link, uint32_t events)
    {
        const bool wasReady = link.Ready;
        int code = MOSQ_ERR_SUCCESS;
        if (events & EPOLLIN)
            code = mosquitto_loop_read(link.Mqtt, 1);
        if (code == MOSQ_ERR_SUCCESS && (events & EPOLLOUT))
            code = mosquitto_loop_write(link.Mqtt, 1);
        if (code != MOSQ_ERR_SUCCESS) {
            ++Dropped;
            ++ErrorTexts["broker dropped: " + std::string(mosquitto_strerror(code))];
            if (!wasReady)
                --InFlight;
            else
                --ListenersConnected;
            epoll_ctl(Epoll, EPOLL_CTL_DEL, link.Socket, nullptr);
            mosquitto_destroy(link.Mqtt);
            link.Mqtt = nullptr;
            link.Ready = false;
            return;
        }
        if (link.Ready && !wasReady) {
            --InFlight;
            ++ListenersConnected;
        }
        if (std::exchange(link.Heard, false))
            Announced(link);
        WatchMqtt(link);
    }

    void Serve(Client& client, uint32_t events)
    {
        if (client.Mqtt) {
            ServeMqtt(client, events);
            return;
        }
        if (!client.Ready && client.Steps.empty() && !client.Busy) {
            switch (PQconnectPoll(client.Conn)) {
            case PGRES_POLLING_READING:
                Watch(client, EPOLLIN);
                return;
            case PGRES_POLLING_WRITING:
                Watch(client, EPOLLOUT);
                return;
            case PGRES_POLLING_OK:
                PQsetnonblocking(client.Conn, 1);
                Watch(client, EPOLLIN);
                if (client.Copy) {
                    client.Steps.push_back({ Kind::Connect,
                        "LISTEN "
                            + Text(
                                WakeupChannelName(QString::fromStdString(User(client.Index)))) });
                } else {
                    for (const char* statement : ConnectStatements)
                        client.Steps.push_back({ Kind::Connect, statement });
                    // Signed in: the user is in.
                    client.Steps.push_back({ Kind::Presence,
                        Text(PresenceBeatStatement(QString::fromStdString(User(client.Index)))) });
                }
                Send(client);
                return;
            default:
                --InFlight;
                Refuse(client);
                return;
            }
        }
        if (!PQconsumeInput(client.Conn)) {
            Drop(client);
            return;
        }
        while (client.Busy && !PQisBusy(client.Conn)) {
            PGresult* result = PQgetResult(client.Conn);
            if (result == nullptr) { // the statement is complete
                client.Busy = false;
                Finished(client);
                break;
            }
            Handle(client, result);
            PQclear(result);
        }
        while (PGnotify* notice = PQnotifies(client.Conn)) {
            Announced(client);
            PQfreemem(notice);
        }
    }

    // A listening link heard of a note: the copy polls as the program's wake-up has it, unless
    // it is busy anyway. The announcement names nothing: the suite times it from the last post
    // to the copy's user.
    void Announced(Client& listener)
    {
        Client* copy = listener.Copy;
        if (copy != nullptr && Recording)
            Row("woken", User(copy->Index), NowMs());
        if (copy == nullptr || copy->WakeDue)
            return;
        copy->WakeDue = true;
        Wakes.push({ std::max(NowMs() + QuietMs, copy->LastWake + LeastGapMs), copy });
    }

    void WakePoll(Client& copy, double now)
    {
        copy.WakeDue = false;
        copy.LastWake = now;
        if (!copy.Ready || copy.Busy || !copy.Steps.empty())
            return;
        copy.Steps.push_back(
            { Kind::Poll, Text(PollStatement(QString::fromStdString(User(copy.Index)))) });
        Send(copy);
    }

    void Drop(Client& client)
    {
        ++Dropped;
        ++ErrorTexts["dropped: " + std::string(PQerrorMessage(client.Conn)).substr(0, 80)];
        if (!client.Ready)
            --InFlight;
        else if (client.Copy)
            --ListenersConnected;
        else
            --ConnectedCount;
        client.Ready = false;
        client.Busy = false;
        client.Steps.clear();
        Forget(client);
    }

    void Handle(Client& client, PGresult* result)
    {
        const Step& step = client.Steps.front();
        const ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
            if (step.What == Kind::Insert && state && std::strcmp(state, "23505") == 0
                && step.Attempt < 8) {
                ++Retries;
                client.Steps.push_back(
                    { Kind::NextKey, Text(NextKeyStatement()), step.Attempt + 1 });
            } else {
                ++Errors;
                ++ErrorTexts[std::string(state ? state : "?") + " "
                    + std::string(PQresultErrorMessage(result)).substr(0, 60)];
            }
            return;
        }
        if (step.What == Kind::Poll) {
            const QString user = QString::fromStdString(User(client.Index));
            std::map<int, NoteValues> rows;
            auto column = [&](int row, int at) {
                std::string text = PQgetvalue(result, row, at);
                return QString::fromStdString(text.substr(0, text.find_last_not_of(' ') + 1));
            };
            for (int row = 0; row < PQntuples(result); ++row) {
                const int key = std::atoi(PQgetvalue(result, row, 0));
                if (Recording && !client.Shown.contains(key))
                    Row("read", key, NowMs());
                rows[key]
                    = { key, user, column(row, 1), column(row, 2), column(row, 3), column(row, 4) };
            }
            // The user deletes what showed at the last poll; new notes open a window each.
            for (const auto& [key, note] : client.Pending) {
                if (rows.contains(key)) {
                    client.Steps.push_back({ Kind::Delete, Text(DeleteRowStatement(note)) });
                    client.Steps.push_back({ Kind::Receipt, Text(DeletedReceiptStatement(note)) });
                }
                client.Shown.erase(key);
            }
            client.Pending.clear();
            QList<NoteValues> shown;
            for (const auto& [key, note] : rows) {
                if (client.Shown.insert(key).second) {
                    client.Pending[key] = note;
                    shown.append(note);
                }
            }
            for (const QList<NoteValues>& stamped : { client.LastShown, shown }) {
                if (!stamped.isEmpty())
                    client.Steps.push_back(
                        { Kind::Receipt, Text(ShownReceiptsStatement(stamped)) });
            }
            client.LastShown = shown;
        } else if (step.What == Kind::NextKey) {
            const int largest = PQntuples(result) ? std::atoi(PQgetvalue(result, 0, 0)) : 0;
            std::uniform_int_distribution<int> anyone(
                0, (Office > 0 ? Office : int(Clients.size())) - 1);
            const NoteValues note = NewNote(QStringLiteral("Lunch at one?"),
                QString::fromStdString(User(anyone(Random))),
                QString::fromStdString(User(client.Index)), largest + (1 << (step.Attempt - 1)), 1);
            client.Steps.push_back(
                { Kind::Insert, Text(InsertStatement(note)), step.Attempt, note });
        } else if (step.What == Kind::Insert) {
            ++Posts;
            if (Recording)
                Row("posted", long(step.Note.Key), step.Note.Recipient.toStdString(),
                    client.SentAt);
            Publish(client.Index, step.Note.Recipient);
            for (const QString& statement : SentRecordStatements(step.Note))
                client.Steps.push_back({ Kind::Receipt, Text(statement) });
        }
    }

    // The sender's wake-up to the addressee, from its own broker link.
    void Publish(int sender, const QString& recipient)
    {
        const auto local = size_t(sender - First);
        if (BrokerPort <= 0 || local >= Listeners.size())
            return;
        Client& link = *Listeners[local];
        if (!link.Mqtt || !link.Ready)
            return;
        if (mosquitto_publish(
                link.Mqtt, nullptr, WakeupTopicName(recipient).c_str(), 0, nullptr, 0, false)
            == MOSQ_ERR_SUCCESS)
            ++Published;
        WatchMqtt(link);
    }

    void Finished(Client& client)
    {
        const double now = NowMs();
        const Step step = client.Steps.front();
        client.Steps.pop_front();
        Latency[step.What].push_back(now - client.SentAt);
        if (!client.Ready && client.Steps.empty() && client.Copy) {
            client.Ready = true;
            --InFlight;
            ++ListenersConnected;
        } else if (!client.Ready && client.Steps.empty()) {
            client.Ready = true;
            --InFlight;
            ++ConnectedCount;
            ConnectMs.push_back(now - client.ConnectStart);
            std::uniform_real_distribution<double> phase(0, PollPeriodMs);
            Due.push({ now + phase(Random), &client });
        }
        if (!client.Steps.empty())
            Send(client);
    }

    void Tick(Client& client, double now)
    {
        if (!client.Ready)
            return;
        Due.push({ now + PollPeriodMs, &client });
        if (client.Busy || !client.Steps.empty())
            return; // the last tick's work still runs: the program would skip this poll too
        client.Steps.push_back(
            { Kind::Poll, Text(PollStatement(QString::fromStdString(User(client.Index)))) });
        std::uniform_real_distribution<double> chance(0, 1);
        if (chance(Random) < PostChance)
            client.Steps.push_back({ Kind::NextKey, Text(NextKeyStatement()) });
        // The presence beat, every few minutes: at a random tick with the same mean.
        if (chance(Random) < PollPeriodMs / PresenceIntervalMs()) {
            ++Beats;
            client.Steps.push_back({ Kind::Presence,
                Text(PresenceBeatStatement(QString::fromStdString(User(client.Index)))) });
        }
        Send(client);
    }

    void Send(Client& client)
    {
        client.SentAt = NowMs();
        if (!PQsendQuery(client.Conn, client.Steps.front().Text.c_str())) {
            Drop(client);
            return;
        }
        client.Busy = true;
        PQflush(client.Conn);
    }

    int First = 0; // the index of this process's first copy
    int Office = 0; // copies in the whole office, 0: this process's
    bool Recording = false;
    std::string Conninfo;
    std::string ListenConninfo;
    std::string BrokerHost;
    int BrokerPort = 0;
    double NextHousekeeping = 0;
    const double Chance;
    double PostChance;
    int Epoll;
    std::vector<std::unique_ptr<Client>> Clients;
    std::vector<std::unique_ptr<Client>> Listeners;
    std::deque<Client*> Waiting;
    size_t InFlight = 0;
    int ConnectedCount = 0;
    using Entry = std::pair<double, Client*>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> Due;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> Wakes;
    std::mt19937 Random; // seeded by the first copy: processes sharing an office differ
};

// The samples themselves, for the suite to merge with other processes' samples.
void Samples(const char* name, const std::vector<double>& samples)
{
    std::string values;
    for (const double sample : samples) {
        values += values.empty() ? "" : ",";
        values += ToText(sample);
    }
    Row("samples", name, values);
}

// Whether the suite has written its line: it does once every process's copies are connected.
bool Started()
{
    pollfd input { STDIN_FILENO, POLLIN, 0 };
    if (poll(&input, 1, 0) <= 0)
        return false;
    char byte = 0;
    return read(STDIN_FILENO, &byte, 1) <= 0 || byte == '\n';
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 6) {
        std::fprintf(stderr,
            "usage: %s CONNINFO LEVELS WINDOW_S POSTS_PER_HOUR SERVER_PID [POOLER_PID [LISTEN "
            "[BROKER BROKER_PID [FIRST/OFFICE]]]]\n",
            argv[0]);
        return 2;
    }
    // Up to four descriptors a copy (libmosquitto takes three a link); as root the hard limit
    // may rise too, elsewhere the soft one rises to it.
    rlimit files { 200000, 200000 };
    if (setrlimit(RLIMIT_NOFILE, &files) != 0) {
        getrlimit(RLIMIT_NOFILE, &files);
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    const std::string conninfo = argv[1];
    const double windowMs = std::atof(argv[3]) * 1000;
    const double postsPerHour = std::atof(argv[4]);
    const int server = std::atoi(argv[5]);
    const int pooler = argc > 6 ? std::atoi(argv[6]) : 0;
    const int broker = argc > 9 ? std::atoi(argv[9]) : 0;
    const std::string share = argc > 10 ? argv[10] : "";
    const int first = share.empty() ? 0 : std::atoi(share.c_str());
    const int office = share.empty() ? 0 : std::atoi(share.substr(share.find('/') + 1).c_str());

    mosquitto_lib_init();
    Load load(
        conninfo, postsPerHour, argc > 7 ? argv[7] : "", argc > 8 ? argv[8] : "", first, office);
    std::istringstream levels(argv[2]);
    for (std::string level; std::getline(levels, level, ',');) {
        const size_t count = std::stoul(level);
        const double rampStart = NowMs();
        load.Grow(count);
        // Connections first, up to a minute; then every copy gets one whole poll period to
        // settle its phase before the measured window.
        while (load.Connecting() > 0 && NowMs() - rampStart < 60000)
            load.RunUntil(NowMs() + 100);
        const double rampMs = NowMs() - rampStart;
        if (!share.empty()) {
            Row("ready", int(load.Connected()));
            while (!Started())
                load.RunUntil(NowMs() + 100);
        }
        load.RunUntil(NowMs() + 2000);
        load.ResetFigures();
        const ProcessTree serverBefore = Tree(server, false);
        const ProcessTree poolerBefore = Tree(pooler, false);
        const ProcessTree brokerBefore = Tree(broker, false);
        const double ownBefore = CpuMs(getpid(), nullptr);
        const double start = NowMs();
        load.RunUntil(start + windowMs);
        const double seconds = (NowMs() - start) / 1000;
        const ProcessTree serverAfter = Tree(server, true);
        const ProcessTree poolerAfter = Tree(pooler, false);
        const ProcessTree brokerAfter = Tree(broker, false);
        const double ownMs = CpuMs(getpid(), nullptr) - ownBefore;
        const int beatsInWindow = load.Beats;
        const double brokerMb = broker > 0
            ? double(ProcKb("/proc/" + std::to_string(broker) + "/smaps_rollup", "Pss")) / 1024
            : 0;
        // Every note posted in the window is read by its addressee's poll within one period.
        load.StopPosting();
        load.RunUntil(NowMs() + PollPeriodMs + 3000);
        load.ResumePosting();
        auto percent = [&](const ProcessTree& before, const ProcessTree& after) {
            return (after.CpuMs - before.CpuMs) / 1000 / seconds * 100;
        };
        std::vector<double> all;
        for (const auto& [kind, samples] : load.Latency)
            all.insert(all.end(), samples.begin(), samples.end());
        const auto& polls = load.Latency[Kind::Poll];
        const auto& beats = load.Latency[Kind::Presence];
        Row("clients", int(count), int(load.Connected()), load.Refused, load.Dropped,
            Percentile(load.ConnectMs, 0.99), rampMs / 1000, int(polls.size()),
            Percentile(polls, 0.5), Percentile(polls, 0.99), Percentile(all, 0.99), load.Errors,
            load.Posts, load.Retries, percent(serverBefore, serverAfter),
            percent(poolerBefore, poolerAfter), serverAfter.Children,
            double(serverAfter.ChildrenPssKb) / 1024, double(SelfRssKb()) / 1024,
            load.ListenersConnected, beatsInWindow, Percentile(beats, 0.5), Percentile(beats, 0.99),
            load.Published, percent(brokerBefore, brokerAfter), brokerMb,
            ownMs / 1000 / seconds * 100);
        Samples("poll", polls);
        Samples("presence", beats);
        Samples("all", all);
        Samples("connect", load.ConnectMs);
    }
    for (const auto& [text, times] : load.ErrorTexts)
        std::fprintf(stderr, "%6d x %s\n", times, text.c_str());
    return 0;
}
