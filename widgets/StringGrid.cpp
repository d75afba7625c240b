#include "widgets/StringGrid.h"

#include <algorithm>

namespace pulo {

TStringGrid::TStringGrid(int rows, int columns, QObject* parent)
    : QObject(parent), Rows(std::max(rows, 0)), Columns(std::max(columns, 0)),
      Cells(static_cast<std::size_t>(Rows) * static_cast<std::size_t>(Columns))
{
}

void TStringGrid::SetRowCount(int rows)
{
    Rows = std::max(rows, 0);
    Cells.resize(static_cast<std::size_t>(Rows) * static_cast<std::size_t>(Columns));
}

bool TStringGrid::Holds(int row, int column) const
{
    return row >= 0 && row < Rows && column >= 0 && column < Columns;
}

QString TStringGrid::Cell(int row, int column) const
{
    return Holds(row, column) ? Cells[static_cast<std::size_t>(row * Columns + column)] : QString();
}

void TStringGrid::SetCell(int row, int column, const QString& text)
{
    if (Holds(row, column))
        Cells[static_cast<std::size_t>(row * Columns + column)] = text;
}

} // namespace pulo
