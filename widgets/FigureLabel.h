#pragma once

// A label for a figure that changes every second (the speed monitor's): the glyphs of digits,
// separators and signs are looked up once, so a new figure is drawn without the text shaping
// and line layout a label goes through for any text. It looks as a QLabel with the same text,
// font, alignment and colours looks; a text with other characters, a frame, a disabled label or
// a scaled screen is drawn by QLabel itself.

#include <QLabel>
#include <QRawFont>

#include <array>

namespace pulo {

class TFigureLabel final : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The glyph table for the present font; Usable stays false when it lacks a glyph.
    void Prepare();

    static constexpr char Characters[] = "0123456789.,+- ";
    QRawFont Font;
    std::array<quint32, 128> Glyphs{};
    std::array<qreal, 128> Advances{};
    bool Prepared = false;
    bool Usable = false;
};

} // namespace pulo
