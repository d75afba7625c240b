#include "usage/HistoryRecorder.h"

#include "usage/LogImport.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace pulo {

namespace {

// At the program's end what waits is written for at most this long, so that the program always
// ends soon; and a refused write is then tried again this often.
constexpr int EndingWaitMs = 2000;
constexpr int EndingRetryMs = 200;
// The log keeps a connection's start in whole seconds.
constexpr qint64 LogStartLeewaySeconds = 2;

} // namespace

THistoryRecorder::THistoryRecorder(
    QString path, std::function<QStringList()> readLog, int retryMs, int openAfterMs, QDateTime programStart)
    : FilePath(std::move(path)), ReadLog(std::move(readLog)), ProgramStart(std::move(programStart)), RetryMs(retryMs),
      OpenAfterMs(openAfterMs)
{
    Thread = std::thread([this] { Work(); });
}

THistoryRecorder::~THistoryRecorder()
{
    bool opened = false;
    {
        const std::lock_guard guard(Lock);
        Ending = true;
        opened = Opened;
    }
    Wake.notify_all();
    // A history that could not even be opened will not be in the next moments either.
    if (opened)
        Flush(EndingWaitMs);
    {
        const std::lock_guard guard(Lock);
        Stopping = true;
    }
    Wake.notify_all();
    Thread.join();
}

std::int64_t
THistoryRecorder::Begin(const QDateTime& start, const QString& entry, const QString& interface, const QString& device)
{
    std::int64_t key = 0;
    {
        const std::lock_guard guard(Lock);
        key = ++LastKey;
        BegunHere[key] = {start, entry};
    }
    Enqueue(TBegin{key, start, entry, interface, device});
    return key;
}

void THistoryRecorder::Update(std::int64_t key,
                              const QDateTime& now,
                              std::int64_t sent,
                              std::int64_t received,
                              bool ended,
                              const QDateTime& start,
                              const TFreeBytes& free)
{
    if (start.isValid()) {
        const std::lock_guard guard(Lock);
        if (const auto begun = BegunHere.find(key); begun != BegunHere.end())
            begun->second.first = start;
    }
    Enqueue(TUpdate{key, now, sent, received, ended, start, free});
}

void THistoryRecorder::UseMeter(std::shared_ptr<win::IProgramMeter> meter)
{
    const std::lock_guard guard(Lock);
    Meter = std::move(meter);
}

void THistoryRecorder::TakePrograms(std::int64_t key, const QDateTime& now, std::int64_t sent, std::int64_t received)
{
    Enqueue(TTake{key, now, sent, received});
}

std::vector<TProgramRow> THistoryRecorder::LivePrograms(std::int64_t key) const
{
    const std::lock_guard guard(Lock);
    const auto found = Live.find(key);
    return found == Live.end() ? std::vector<TProgramRow>() : found->second;
}

QString THistoryRecorder::MeterProblem() const
{
    const std::lock_guard guard(Lock);
    return LastMeterProblem;
}

void THistoryRecorder::TakeFromMeter(std::int64_t key, const QDateTime& now, std::int64_t sent, std::int64_t received)
{
    std::shared_ptr<win::IProgramMeter> meter;
    {
        const std::lock_guard guard(Lock);
        meter = Meter;
    }
    const auto identity = Identities.find(key);
    if (!meter || identity == Identities.end())
        return;
    TProgramLedger& ledger = Ledgers[key];
    win::MeterAnswer answer;
    std::string why;
    const bool answered = !identity->second.empty() && meter->Programs(identity->second, answer, why);
    if (answered)
        ledger.Take(now.date(), answer, sent, received);
    else
        ledger.TakeLine(now.date(), sent, received);
    std::vector<TProgramRow> rows = ledger.Rows();
    const std::lock_guard guard(Lock);
    Live[key] = std::move(rows);
    LastMeterProblem = answered                   ? QString::fromStdString(answer.Note)
                       : identity->second.empty() ? QStringLiteral("the line has no interface the meter can count")
                                                  : QString::fromStdString(why);
}

void THistoryRecorder::Remember(const QString& key, const QString& value)
{
    Enqueue(TFact{key, value});
}

void THistoryRecorder::Adjust(const TUsageAdjustment& adjustment)
{
    Enqueue(TAdjustment{adjustment, false});
}

void THistoryRecorder::RemoveAdjustment(const QDateTime& at)
{
    TUsageAdjustment row;
    row.At = at;
    Enqueue(TAdjustment{row, true});
}

void THistoryRecorder::AddPack(const TPack& pack, const QDate& periodFirst)
{
    Enqueue(TPackWrite{pack, periodFirst, false});
}

void THistoryRecorder::RemovePack(const QDateTime& addedAt)
{
    TPack row;
    row.AddedAt = addedAt;
    Enqueue(TPackWrite{row, {}, true});
}

void THistoryRecorder::Enqueue(TWrite write)
{
    {
        const std::lock_guard guard(Lock);
        // While the history cannot be written the figures of a running connection pile up; only
        // the newest of them matters (the front may be being written, and is left alone).
        const auto* update = std::get_if<TUpdate>(&write);
        if (update != nullptr && !update->Ended && (Waiting.size() >= 2 || (!Waiting.empty() && !Busy))) {
            auto* last = std::get_if<TUpdate>(&Waiting.back());
            if (last != nullptr && last->Key == update->Key && !last->Ended) {
                *last = *update;
                return;
            }
        }
        // So do the programs' shares: the newest says all the older would have.
        const auto* take = std::get_if<TTake>(&write);
        if (take != nullptr && (Waiting.size() >= 2 || (!Waiting.empty() && !Busy))) {
            if (auto* last = std::get_if<TTake>(&Waiting.back()); last != nullptr && last->Key == take->Key) {
                *last = *take;
                return;
            }
        }
        Waiting.push_back(std::move(write));
    }
    Wake.notify_all();
}

bool THistoryRecorder::Flush(int timeoutMs)
{
    std::unique_lock lock(Lock);
    if (!Opened) {
        Wanted = true;
        Wake.notify_all();
    }
    return Settled.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [this] { return Opened && Waiting.empty() && !Busy; });
}

QString THistoryRecorder::Problem() const
{
    const std::lock_guard guard(Lock);
    return CurrentProblem;
}

void THistoryRecorder::Tell(const QString& message)
{
    QMetaObject::invokeMethod(
        this,
        [this, message] {
            if (OnMessage)
                OnMessage(message);
        },
        Qt::QueuedConnection);
}

bool THistoryRecorder::OpenStore(THistoryStore& store)
{
    if (!store.Open(THistoryStore::TAccess::ReadWrite))
        return false;
    if (Opened)
        return true; // opened again after a refused write: the rest was done at the start
    if (!store.Problem().isEmpty())
        Tell(store.Problem()); // a damaged history was set aside
    const bool importing = !store.LogImported();
    TLogImport logged;
    if (importing || store.HasAbandoned())
        logged = ImportLogLines(ReadLog ? ReadLog() : QStringList());
    // A history first opened late (busy at start) finds this run's connections in the log too;
    // their rows are the recorder's own, and taken in again they would count twice.
    if (ProgramStart.isValid())
        std::erase_if(logged.Connections, [&](const TUsageConnection& c) { return c.End > ProgramStart; });
    // So are the lines of the connections this run began, wherever the clock has been set since
    // the program started (a clock set back makes them look older than the program).
    {
        const std::lock_guard guard(Lock);
        std::erase_if(logged.Connections, [&](const TUsageConnection& c) {
            return std::any_of(BegunHere.begin(), BegunHere.end(), [&](const auto& begun) {
                const auto& [start, entry] = begun.second;
                return entry == c.Entry && std::abs(start.secsTo(c.Start)) <= LogStartLeewaySeconds;
            });
        });
    }
    if (!store.ReconcileAbandoned(logged.Connections))
        return false;
    if (importing) {
        if (!store.AddImported(logged.Connections))
            return false;
        if (logged.Unreadable > 0)
            Tell(QStringLiteral("%1 lines of the log could not be read as connections and were not taken "
                                "into the usage history.")
                     .arg(logged.Unreadable));
    }
    return true;
}

bool THistoryRecorder::Write(THistoryStore& store, const TWrite& write)
{
    if (const auto* begin = std::get_if<TBegin>(&write)) {
        const std::int64_t id = store.BeginConnection(begin->Start, begin->Entry, begin->Interface, begin->Device);
        if (id == 0)
            return false;
        Rows[begin->Key] = id;
        std::shared_ptr<win::IProgramMeter> meter;
        {
            const std::lock_guard guard(Lock);
            meter = Meter;
        }
        if (meter && Identities.count(begin->Key) == 0) {
            // Named while the line is there; asked at once, so that what the programs carried
            // before is not the line's.
            Identities[begin->Key] = meter->Identify(begin->Interface.toStdString());
            TakeFromMeter(begin->Key, begin->Start, 0, 0);
        }
        return true;
    }
    if (const auto* take = std::get_if<TTake>(&write)) {
        TakeFromMeter(take->Key, take->Now, take->Sent, take->Received);
        return true;
    }
    if (const auto* fact = std::get_if<TFact>(&write))
        return store.SetFact(fact->Key, fact->Value);
    if (const auto* adjustment = std::get_if<TAdjustment>(&write))
        return adjustment->Remove ? store.RemoveAdjustment(adjustment->Row.At)
                                  : store.AddAdjustment(adjustment->Row) != 0;
    if (const auto* pack = std::get_if<TPackWrite>(&write))
        return pack->Remove ? store.RemovePack(pack->Row.AddedAt) : store.AddPack(pack->Row, pack->PeriodFirst) != 0;
    const TUpdate& update = std::get<TUpdate>(write);
    const auto row = Rows.find(update.Key);
    if (row == Rows.end())
        return true; // a connection whose start was never reported
    TakeFromMeter(update.Key, update.Now, update.Sent, update.Received);
    const auto ledger = Ledgers.find(update.Key);
    const std::vector<TProgramRow> programs =
        ledger == Ledgers.end() ? std::vector<TProgramRow>() : ledger->second.Rows();
    if (!store.UpdateConnection(row->second, update.Now, update.Sent, update.Received, update.Ended, update.Start,
                                ledger == Ledgers.end() ? nullptr : &programs, &update.Free))
        return false;
    if (update.Ended) {
        Rows.erase(row);
        Ledgers.erase(update.Key);
        Identities.erase(update.Key);
        const std::lock_guard guard(Lock);
        Live.erase(update.Key);
    }
    return true;
}

void THistoryRecorder::Work()
{
    // The store lives on this thread: a database connection belongs to the thread that made it.
    THistoryStore store(FilePath);
    bool usable = false;
    std::unique_lock lock(Lock);
    Wake.wait_for(lock, std::chrono::milliseconds(OpenAfterMs),
                  [this] { return Ending || Stopping || Wanted || !Waiting.empty(); });
    while (!Stopping) {
        bool written = true;
        if (!usable) {
            lock.unlock();
            usable = OpenStore(store);
            lock.lock();
            Opened = Opened || usable;
            written = usable;
        }
        if (usable) {
            Settled.notify_all();
            Wake.wait(lock, [this] { return Stopping || !Waiting.empty(); });
            if (Waiting.empty())
                break;
            const TWrite write = Waiting.front();
            Busy = true;
            lock.unlock();
            written = Write(store, write);
            lock.lock();
            Busy = false;
            if (written) {
                Waiting.pop_front();
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        if (OnWritten)
                            OnWritten();
                    },
                    Qt::QueuedConnection);
            }
        }
        if (written) {
            CurrentProblem.clear();
            continue;
        }
        // Refused (busy, full, gone): said once until it is written again, opened again and tried
        // again a little later.
        usable = false;
        if (CurrentProblem.isEmpty())
            Tell(store.Problem() + QStringLiteral(" What was not written waits and is written once it can be; the "
                                                  "settings file and the log are still written."));
        CurrentProblem = store.Problem();
        Settled.notify_all();
        Wake.wait_for(lock, std::chrono::milliseconds(Ending ? EndingRetryMs : RetryMs), [this] { return Stopping; });
    }
    Settled.notify_all();
}

} // namespace pulo
