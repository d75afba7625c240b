#pragma once

// Writes the usage history on a thread of its own, so that a busy database (another program
// holding it), a full disk or a slow one never holds up the window. What the window reports
// (a connection begins, its figures so far, its end) waits in order until it is written; a
// write that is refused is tried again a little later, and nothing that waits is lost while the
// program runs. The first thing the thread does is open the history: make or migrate it, settle
// the rows a killed program left in progress against the log, and take the log in once.

#include "platform/ProgramMeter.h"
#include "usage/HistoryStore.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <variant>

namespace pulo {

class THistoryRecorder final : public QObject
{
    Q_OBJECT

public:
    // readLog: the log's lines, read on the recorder's thread (empty when there is none or it
    // cannot be read). retryMs: how long a refused write waits before it is tried again.
    // openAfterMs: how long the history may wait to be opened (the window's start goes first);
    // anything reported, or a Flush, has it opened at once. programStart: when the program began;
    // the log's connections that end after it are this run's own, which the recorder writes
    // itself, so the log is taken in only up to then (all of it when it is not given).
    THistoryRecorder(QString path,
                     std::function<QStringList()> readLog,
                     int retryMs = 10000,
                     int openAfterMs = 0,
                     QDateTime programStart = {});
    // Writes what still waits for at most a moment (the program is ending), then stops.
    ~THistoryRecorder() override;
    THistoryRecorder(const THistoryRecorder&) = delete;
    THistoryRecorder& operator=(const THistoryRecorder&) = delete;

    // A connection begins; returns the key its later figures are reported under.
    [[nodiscard]] std::int64_t
    Begin(const QDateTime& start, const QString& entry, const QString& interface, const QString& device);
    // The connection's figures so far (bytes since it began, and of them those in the plan's free
    // time); ended closes it. start, when given, is where its start now lies (see
    // THistoryStore::UpdateConnection).
    void Update(std::int64_t key,
                const QDateTime& now,
                std::int64_t sent,
                std::int64_t received,
                bool ended,
                const QDateTime& start = {},
                const TFreeBytes& free = {});
    // The per-program meter, asked on the recorder's thread (the window never waits for it) at
    // each Update and TakePrograms of a connection; none: no program rows are kept.
    void UseMeter(std::shared_ptr<win::IProgramMeter> meter);
    // The connection's figures so far, for its programs' share only: kept in memory until its
    // next Update writes them.
    void TakePrograms(std::int64_t key, const QDateTime& now, std::int64_t sent, std::int64_t received);
    // Which programs used the connection so far (by day, as TProgramLedger::Rows), as last taken.
    [[nodiscard]] std::vector<TProgramRow> LivePrograms(std::int64_t key) const;
    // Why the meter did not answer the last time it was asked; empty when it did.
    [[nodiscard]] QString MeterProblem() const;
    // A fact to keep in the history (THistoryStore::SetFact), written in turn with the rest.
    void Remember(const QString& key, const QString& value);
    // A correction to the provider's meter added, or one removed (by its moment), in turn as well.
    void Adjust(const TUsageAdjustment& adjustment);
    void RemoveAdjustment(const QDateTime& at);
    // An add-on pack of the period that begins on periodFirst, or one removed (by its moment).
    void AddPack(const TPack& pack, const QDate& periodFirst);
    void RemovePack(const QDateTime& addedAt);
    // Waits until everything reported has been written; false when timeoutMs passed first.
    bool Flush(int timeoutMs);
    // What keeps the history from being written now, in words; empty while it is written.
    [[nodiscard]] QString Problem() const;
    [[nodiscard]] const QString& Path() const { return FilePath; }

    // Said on the owner's thread: a problem with the history (once until it is written again),
    // or what the log's import could not read.
    std::function<void(const QString& message)> OnMessage;
    // Said on the owner's thread after something reported has been written.
    std::function<void()> OnWritten;

private:
    struct TBegin final
    {
        std::int64_t Key;
        QDateTime Start;
        QString Entry;
        QString Interface;
        QString Device;
    };
    struct TUpdate final
    {
        std::int64_t Key;
        QDateTime Now;
        std::int64_t Sent;
        std::int64_t Received;
        bool Ended;
        QDateTime Start;
        TFreeBytes Free;
    };
    struct TTake final
    {
        std::int64_t Key;
        QDateTime Now;
        std::int64_t Sent;
        std::int64_t Received;
    };
    struct TFact final
    {
        QString Key;
        QString Value;
    };
    struct TAdjustment final
    {
        TUsageAdjustment Row;
        bool Remove = false;
    };
    struct TPackWrite final
    {
        TPack Row;
        QDate PeriodFirst;
        bool Remove = false;
    };
    using TWrite = std::variant<TBegin, TUpdate, TTake, TFact, TAdjustment, TPackWrite>;

    void Enqueue(TWrite write);
    void Work();
    bool OpenStore(THistoryStore& store);
    bool Write(THistoryStore& store, const TWrite& write);
    void Tell(const QString& message);
    // Asks the meter and takes its answer into the connection's ledger, with the line's figures.
    void TakeFromMeter(std::int64_t key, const QDateTime& now, std::int64_t sent, std::int64_t received);

    const QString FilePath;
    const std::function<QStringList()> ReadLog;
    const QDateTime ProgramStart;
    const int RetryMs;
    const int OpenAfterMs;

    mutable std::mutex Lock;
    std::condition_variable Wake;    // the thread: something to write, or the end
    std::condition_variable Settled; // Flush: the queue is empty
    std::deque<TWrite> Waiting;      // the front is being written until it has been
    bool Opened = false;             // the history was opened, settled and its log taken in
    bool Wanted = false;             // a Flush waits for it: open it now
    bool Busy = false;
    bool Ending = false; // the program is ending: refused writes are tried again sooner
    bool Stopping = false;
    QString CurrentProblem;
    std::int64_t LastKey = 0;
    std::map<std::int64_t, std::int64_t> Rows; // the thread's: key -> row id
    std::shared_ptr<win::IProgramMeter> Meter;
    // The thread's: what the meter calls each connection's interface, and its programs so far.
    std::map<std::int64_t, std::string> Identities;
    std::map<std::int64_t, TProgramLedger> Ledgers;
    std::map<std::int64_t, std::vector<TProgramRow>> Live; // the ledgers' rows, for the window
    QString LastMeterProblem;
    // The start (as last placed) and entry of every connection begun in this run, by key: the
    // log's lines of them are the recorder's own rows, never to be taken in from the log.
    std::map<std::int64_t, std::pair<QDateTime, QString>> BegunHere;
    std::thread Thread;
};

} // namespace pulo
