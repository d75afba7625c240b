#pragma once

// A notification area that records what the tray icon asks of it.

#include "widgets/TrayShell.h"

#include <QIcon>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

namespace pulo::test {

struct TrayCall
{
    win::DWORD Message;
    win::NOTIFYICONDATAA Data;
    qint64 Image; // cacheKey of the image passed, 0 for none
};

struct TrayLog
{
    std::vector<TrayCall> Calls;
    bool Available = true;
    bool Shown = false;
    QString LongTip;
    QStringList Balloons; // "title / text"
    int LongTips = 0;     // how often a long tip was sent

    [[nodiscard]] std::string Messages() const
    {
        std::string text;
        for (const auto& call : Calls)
            text += call.Message == win::NIM_ADD ? "A" : call.Message == win::NIM_MODIFY ? "M" : "D";
        return text;
    }
};

class TrayRecorder final : public ITrayShell
{
public:
    explicit TrayRecorder(std::shared_ptr<TrayLog> log) : Log(std::move(log)) {}
    bool NotifyIcon(win::DWORD message, const win::NOTIFYICONDATAA& data, const QIcon& image) override
    {
        Log->Calls.push_back({message, data, image.isNull() ? 0 : image.cacheKey()});
        switch (message) {
        case win::NIM_ADD:
            Log->Shown = Log->Available;
            return Log->Available;
        case win::NIM_DELETE: {
            const bool was = Log->Shown;
            Log->Shown = false;
            return was;
        }
        default:
            return Log->Shown;
        }
    }
    bool TrayAvailable() const override { return Log->Available; }
    void ShowBalloon(const QString& title, const QString& text) override { Log->Balloons << title + " / " + text; }
    void ShowLongTip(const QString& tip) override
    {
        Log->LongTip = tip;
        ++Log->LongTips;
    }

private:
    std::shared_ptr<TrayLog> Log;
};

} // namespace pulo::test
