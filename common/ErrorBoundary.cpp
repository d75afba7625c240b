#include "common/ErrorBoundary.h"

#include "common/PuloError.h"

#include <cstdio>
#include <exception>

namespace pulo {

namespace {

ErrorReporter& Reporter()
{
    static ErrorReporter reporter;
    return reporter;
}

void Report(const QString& message)
{
    if (Reporter())
        Reporter()(message);
    else
        std::fprintf(stderr, "PuloPro: %s\n", message.toLocal8Bit().constData());
}

} // namespace

void ShowErrorMessage(const QString& message)
{
    Report(message);
}

void SetErrorReporter(ErrorReporter reporter)
{
    Reporter() = std::move(reporter);
}

bool RunGuarded(const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const PuloError& error) {
        Report(error.Message());
    } catch (const std::exception& error) {
        Report(QString::fromLocal8Bit(error.what()));
    }
    return false;
}

} // namespace pulo
