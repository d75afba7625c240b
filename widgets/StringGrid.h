#pragma once

// TStringGrid: a grid of texts, row 0 its header row, that no one ever sees. The main window keeps
// its interface table in one (a row per interface: adapter, hardware address, IP address and the
// six speed figures) and the configuration dialog reads it. Kept as plain texts, not as a hidden
// table view: a view costs a megabyte of memory and a signal per changed cell each second for
// something never drawn.

#include <QObject>
#include <QString>

#include <vector>

namespace pulo {

class TStringGrid final : public QObject
{
public:
    TStringGrid(int rows, int columns, QObject* parent = nullptr);

    [[nodiscard]] int RowCount() const { return Rows; }
    [[nodiscard]] int ColCount() const { return Columns; }
    // Rows added are empty; rows taken away are forgotten.
    void SetRowCount(int rows);
    // Empty outside the grid.
    [[nodiscard]] QString Cell(int row, int column) const;
    // Ignored outside the grid.
    void SetCell(int row, int column, const QString& text);

private:
    [[nodiscard]] bool Holds(int row, int column) const;

    int Rows;
    int Columns;
    std::vector<QString> Cells; // row by row
};

} // namespace pulo
