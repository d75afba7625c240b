#include "usage/ProgramsReport.h"

#include "common/AmountText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>

namespace pulo {

std::vector<TProgramRow> ByProgram(const std::vector<TProgramRow>& rows)
{
    std::map<std::tuple<bool, QString, QString>, TProgramRow> sums;
    for (const TProgramRow& each : rows) {
        TProgramRow& row = sums[{each.Other, each.Program, each.Path}];
        row.Program = each.Program;
        row.Path = each.Path;
        row.Other = each.Other;
        row.Received += each.Received;
        row.Sent += each.Sent;
    }
    std::vector<TProgramRow> summed;
    for (auto& [key, row] : sums)
        summed.push_back(std::move(row));
    std::stable_sort(summed.begin(), summed.end(), [](const TProgramRow& a, const TProgramRow& b) {
        if (a.Other != b.Other)
            return b.Other;
        return a.Received + a.Sent > b.Received + b.Sent;
    });
    return summed;
}

int SharePercent(const TProgramRow& row, const std::vector<TProgramRow>& all)
{
    double whole = 0;
    for (const TProgramRow& each : all)
        whole += static_cast<double>(each.Received) + static_cast<double>(each.Sent);
    return whole <= 0 ? 0
                      : static_cast<int>(std::lround(
                            100.0 * (static_cast<double>(row.Received) + static_cast<double>(row.Sent)) / whole));
}

QByteArray ProgramsText(const std::vector<TProgramRow>& rows)
{
    std::int64_t largest = 0;
    for (const TProgramRow& row : rows)
        largest = std::max({largest, row.Received, row.Sent});
    const TUsageUnit unit = UnitFor(largest);
    std::vector<std::array<QString, 4>> lines{
        {QStringLiteral("Received"), QStringLiteral("Sent"), QStringLiteral("Share"), QStringLiteral("Program")}};
    for (const TProgramRow& row : rows)
        lines.push_back({InUnit(row.Received, unit), InUnit(row.Sent, unit),
                         QStringLiteral("%1%").arg(SharePercent(row, rows)),
                         row.Other            ? QString::fromLatin1(OtherProgram)
                         : row.Path.isEmpty() ? row.Program
                                              : row.Program + QStringLiteral("  ") + row.Path});
    std::array<qsizetype, 3> widths{};
    for (const auto& line : lines)
        for (std::size_t column = 0; column < widths.size(); ++column)
            widths[column] = std::max(widths[column], line[column].size());
    QByteArray text;
    for (const auto& line : lines)
        text += QStringLiteral("%1  %2  %3  %4\n")
                    .arg(line[0].rightJustified(widths[0]), line[1].rightJustified(widths[1]),
                         line[2].rightJustified(widths[2]), line[3])
                    .toUtf8();
    return text;
}

QByteArray ProgramsJson(const std::vector<TProgramRow>& rows)
{
    QJsonArray list;
    for (const TProgramRow& row : rows)
        list.append(
            QJsonObject{{QStringLiteral("program"), row.Other ? QString::fromLatin1(OtherProgram) : row.Program},
                        {QStringLiteral("path"), row.Other ? QJsonValue(QJsonValue::Null) : QJsonValue(row.Path)},
                        {QStringLiteral("receivedBytes"), static_cast<qint64>(row.Received)},
                        {QStringLiteral("sentBytes"), static_cast<qint64>(row.Sent)}});
    return QJsonDocument(list).toJson(QJsonDocument::Indented);
}

} // namespace pulo
