#include "usage/Export.h"

#include "usage/ProgramsReport.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <utility>

namespace pulo {

namespace {

QByteArray CsvField(const QString& text)
{
    QByteArray field = text.toUtf8();
    if (field.contains(',') || field.contains('"') || field.contains('\n') || field.contains('\r')) {
        field.replace('"', "\"\"");
        field = '"' + field + '"';
    }
    return field;
}

QString Instant(const QDateTime& moment)
{
    return moment.toString(Qt::ISODate);
}

} // namespace

QByteArray TExportFormat::Begin() const
{
    if (Kind == TKind::Json)
        return QByteArray("[");
    return Content == TContent::Programs ? QByteArray("start,day,program,path,received,sent\r\n")
                                         : QByteArray("start,end,seconds,sent,received,entry,interface,device\r\n");
}

QByteArray TExportFormat::Row(const TUsageConnection& connection, const TProgramRow& program)
{
    const bool first = std::exchange(First, false);
    const QString name = program.Other ? QString::fromLatin1(OtherProgram) : program.Program;
    if (Kind == TKind::Csv) {
        return CsvField(Instant(connection.Start)) + ',' + program.Day.toString(Qt::ISODate).toUtf8() + ',' +
               CsvField(name) + ',' + CsvField(program.Path) + ',' +
               QByteArray::number(static_cast<qlonglong>(program.Received)) + ',' +
               QByteArray::number(static_cast<qlonglong>(program.Sent)) + "\r\n";
    }
    const QJsonObject object{
        {QStringLiteral("start"), Instant(connection.Start)},
        {QStringLiteral("day"), program.Day.toString(Qt::ISODate)},
        {QStringLiteral("program"), name},
        {QStringLiteral("path"), program.Other ? QJsonValue(QJsonValue::Null) : QJsonValue(program.Path)},
        {QStringLiteral("receivedBytes"), static_cast<qint64>(program.Received)},
        {QStringLiteral("sentBytes"), static_cast<qint64>(program.Sent)}};
    return (first ? QByteArray("\n  ") : QByteArray(",\n  ")) + QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray TExportFormat::Row(const TUsageConnection& connection)
{
    const bool first = std::exchange(First, false);
    if (Kind == TKind::Csv) {
        return CsvField(Instant(connection.Start)) + ',' + CsvField(Instant(connection.End)) + ',' +
               QByteArray::number(static_cast<qlonglong>(connection.Seconds)) + ',' +
               QByteArray::number(static_cast<qlonglong>(connection.Sent)) + ',' +
               QByteArray::number(static_cast<qlonglong>(connection.Received)) + ',' + CsvField(connection.Entry) +
               ',' + CsvField(connection.Interface) + ',' + CsvField(connection.Device) + "\r\n";
    }
    const QJsonObject object{{QStringLiteral("start"), Instant(connection.Start)},
                             {QStringLiteral("end"), Instant(connection.End)},
                             {QStringLiteral("seconds"), static_cast<qint64>(connection.Seconds)},
                             {QStringLiteral("sent"), static_cast<qint64>(connection.Sent)},
                             {QStringLiteral("received"), static_cast<qint64>(connection.Received)},
                             {QStringLiteral("entry"), connection.Entry},
                             {QStringLiteral("interface"), connection.Interface},
                             {QStringLiteral("device"), connection.Device}};
    return (first ? QByteArray("\n  ") : QByteArray(",\n  ")) + QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray TExportFormat::End() const
{
    return Kind == TKind::Csv ? QByteArray() : QByteArray(First ? "]\n" : "\n]\n");
}

namespace {

QByteArray Whole(TExportFormat::TKind kind, const std::vector<TUsageConnection>& connections)
{
    TExportFormat format(kind);
    QByteArray out = format.Begin();
    for (const TUsageConnection& connection : connections)
        out += format.Row(connection);
    return out + format.End();
}

} // namespace

QByteArray ConnectionsCsv(const std::vector<TUsageConnection>& connections)
{
    return Whole(TExportFormat::TKind::Csv, connections);
}

QByteArray ConnectionsJson(const std::vector<TUsageConnection>& connections)
{
    return Whole(TExportFormat::TKind::Json, connections);
}

} // namespace pulo
