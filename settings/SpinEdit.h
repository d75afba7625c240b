#pragma once

// TSpinEdit: a whole-number field with up and down buttons. A value set into it, and what the
// user typed once the field loses the focus, is held to its range; reading takes the text as
// typed, not held to the range (text that is no number reads as the minimum). Keys that cannot
// make a number are refused with a beep.

#include <QAbstractSpinBox>

#include <cstdint>

namespace pulo {

class TSpinEdit final : public QAbstractSpinBox
{
    Q_OBJECT

public:
    TSpinEdit(std::int32_t minimum, std::int32_t maximum, std::int32_t step, QWidget* parent = nullptr);

    [[nodiscard]] std::int32_t Value() const;
    void SetValue(std::int64_t value);
    [[nodiscard]] std::int32_t MinValue() const { return Minimum; }
    [[nodiscard]] std::int32_t MaxValue() const { return Maximum; }

    void stepBy(int steps) override;

Q_SIGNALS:
    // The text changed: typed, stepped or set.
    void Changed();

protected:
    [[nodiscard]] StepEnabled stepEnabled() const override;
    [[nodiscard]] QValidator::State validate(QString& input, int& position) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    std::int32_t Minimum;
    std::int32_t Maximum;
    std::int32_t Step;
};

} // namespace pulo
