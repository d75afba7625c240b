#include "settings/SpinEdit.h"

#include "common/FormatSettings.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace pulo {

TSpinEdit::TSpinEdit(std::int32_t minimum, std::int32_t maximum, std::int32_t step, QWidget* parent)
    : QAbstractSpinBox(parent), Minimum(minimum), Maximum(maximum), Step(step)
{
    SetValue(minimum);
    connect(lineEdit(), &QLineEdit::textChanged, this, &TSpinEdit::Changed);
}

std::int32_t TSpinEdit::Value() const
{
    bool ok = false;
    const qlonglong typed = lineEdit()->text().trimmed().toLongLong(&ok);
    if (!ok || typed < INT32_MIN || typed > INT32_MAX)
        return Minimum;
    return static_cast<std::int32_t>(typed);
}

void TSpinEdit::SetValue(std::int64_t value)
{
    lineEdit()->setText(QString::number(std::clamp<std::int64_t>(value, Minimum, Maximum)));
}

void TSpinEdit::stepBy(int steps)
{
    SetValue(static_cast<std::int64_t>(Value()) + static_cast<std::int64_t>(steps) * Step);
    selectAll();
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const
{
    return StepUpEnabled | StepDownEnabled;
}

QValidator::State TSpinEdit::validate(QString& input, int& /*position*/) const
{
    // Anything made of the accepted keys may stand while typing; the range applies later.
    const QChar separator = QLatin1Char(CurrentFormat().DecimalSeparator);
    const bool allowed = std::all_of(input.begin(), input.end(), [&](QChar c) {
        return c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-') || c == separator;
    });
    return allowed ? QValidator::Acceptable : QValidator::Invalid;
}

void TSpinEdit::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    const QChar separator = QLatin1Char(CurrentFormat().DecimalSeparator);
    if (text.size() == 1 && text[0].isPrint() && !text[0].isDigit() && text[0] != QLatin1Char('+') &&
        text[0] != QLatin1Char('-') && text[0] != separator &&
        (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) == 0) {
        QApplication::beep();
        event->accept();
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}

void TSpinEdit::focusOutEvent(QFocusEvent* event)
{
    SetValue(Value());
    QAbstractSpinBox::focusOutEvent(event);
}

} // namespace pulo
