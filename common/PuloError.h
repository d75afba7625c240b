#pragma once

#include <QString>

#include <stdexcept>

namespace pulo {

// An error that ends the handler it happens in and is shown to the user in a message box
// (see ErrorBoundary.h); the program goes on running.
class PuloError : public std::runtime_error
{
public:
    explicit PuloError(const QString& message) : std::runtime_error(message.toStdString()), Text(message) {}
    [[nodiscard]] const QString& Message() const { return Text; }

private:
    QString Text;
};

} // namespace pulo
