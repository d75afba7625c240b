#pragma once

// The working settings and the month totals: one set for the whole program, held by the main
// window and shared with the configuration dialog and the log writer. The initial values are
// the defaults that stand for keys missing from the settings file.

#include <QString>

#include <cstdint>

namespace pulo {

struct TSettings final
{
    bool StartHidden = false;
    bool ShowConnected = true;
    bool AutoHide = false;
    bool Sounds = true;
    bool DialAlarm = true;
    bool Logging = true;
    bool OnlineSound = true;
    bool IdleOnly = true;
    bool MaximumTime = false;
    bool MaximumMB = false;
    std::int32_t OnlineInterval = 60; // seconds
    std::int32_t MaxTimeAlarm = 0;    // hours online in a month
    std::int32_t MaxMBAlarm = 0;      // megabytes received in a month
    std::int32_t NIC = 1;             // 1-based row of the monitored interface
    QString ConnectSnd = QStringLiteral("DefaultCon.wav");
    QString DisconnectSnd = QStringLiteral("DefaultDiscon.wav");
    QString DialSnd = QStringLiteral("Dialing.wav");
    QString OnlineSnd = QStringLiteral("Online.wav");
    QString MaximumSnd = QStringLiteral("Maximum.wav");

    friend bool operator==(const TSettings&, const TSettings&) = default;
};

struct TMonthTotals final
{
    std::int32_t TotCon = 0;      // connections finished in the month
    double TotTime = 0;           // seconds online
    double TotRCV = 0;            // kilobytes (of 1000 bytes) received
    double TotTMT = 0;            // kilobytes sent
    std::int32_t StoredMonth = 0; // 1 to 12; 0 until the month is known

    friend bool operator==(const TMonthTotals&, const TMonthTotals&) = default;
};

} // namespace pulo
