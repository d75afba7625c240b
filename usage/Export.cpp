#include "usage/Export.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

QByteArray ConnectionsCsv(const std::vector<TUsageConnection>& connections)
{
    QByteArray out = "start,end,seconds,sent,received,entry,interface\r\n";
    for (const TUsageConnection& connection : connections) {
        out += CsvField(Instant(connection.Start)) + ',' + CsvField(Instant(connection.End)) + ',' +
               QByteArray::number(static_cast<qlonglong>(connection.Seconds)) + ',' +
               QByteArray::number(static_cast<qlonglong>(connection.Sent)) + ',' +
               QByteArray::number(static_cast<qlonglong>(connection.Received)) + ',' + CsvField(connection.Entry) +
               ',' + CsvField(connection.Interface) + "\r\n";
    }
    return out;
}

QByteArray ConnectionsJson(const std::vector<TUsageConnection>& connections)
{
    QJsonArray array;
    for (const TUsageConnection& connection : connections) {
        array.append(QJsonObject{{QStringLiteral("start"), Instant(connection.Start)},
                                 {QStringLiteral("end"), Instant(connection.End)},
                                 {QStringLiteral("seconds"), static_cast<qint64>(connection.Seconds)},
                                 {QStringLiteral("sent"), static_cast<qint64>(connection.Sent)},
                                 {QStringLiteral("received"), static_cast<qint64>(connection.Received)},
                                 {QStringLiteral("entry"), connection.Entry},
                                 {QStringLiteral("interface"), connection.Interface}});
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

} // namespace pulo
