#include "sources/IPHelper.h"

#include <algorithm>
#include <cstring>

namespace pulo {

namespace {

// Reads a table the way both reads do: a size probe, then one call with a buffer of that size.
// The buffer is kept between reads, so the once-a-second read allocates nothing once warm.
template <typename Table, typename Row, typename Read>
win::DWORD ReadTable(std::vector<Row>& rows, Read read, win::BOOL order)
{
    win::ULONG size = 0;
    const win::DWORD probe = read(nullptr, &size, order);
    if (probe != win::ERROR_INSUFFICIENT_BUFFER)
        return probe;
    thread_local std::vector<unsigned char> buffer;
    buffer.resize(std::max<std::size_t>(size, sizeof(Table)));
    auto* table = reinterpret_cast<Table*>(buffer.data());
    const win::DWORD code = read(table, &size, order);
    if (code == win::ERROR_SUCCESS && table->dwNumEntries > 0) {
        rows.resize(table->dwNumEntries);
        std::memcpy(rows.data(), table->table, rows.size() * sizeof(Row));
    }
    return 0;
}

} // namespace

void GetIfTableRows(std::vector<win::MIB_IFROW>& rows)
{
    ReadTable<win::MIB_IFTABLE>(rows, &win::GetIfTable, win::FALSE_RESULT);
}

bool GetIfOctets(std::vector<IfOctets>& rows)
{
    win::IIpHelperService* service = win::InstalledBackend().IpHelper.get();
    thread_local std::vector<IfOctets> read;
    if (service == nullptr || !service->ByteCounts(read))
        return false;
    rows.swap(read);
    return true;
}

win::DWORD GetIpAddrTableRows(std::vector<win::MIB_IPADDRROW>& rows)
{
    return ReadTable<win::MIB_IPADDRTABLE>(rows, &win::GetIpAddrTable, win::TRUE_RESULT);
}

QString MacToText(const win::BYTE (&address)[win::MAXLEN_PHYSADDR], win::DWORD length)
{
    if (length == 0)
        return QStringLiteral("00-00-00-00-00-00");
    QString text;
    for (win::DWORD i = 0; i < std::min<win::DWORD>(length, win::MAXLEN_PHYSADDR); ++i) {
        if (i > 0)
            text += QLatin1Char('-');
        text += QStringLiteral("%1").arg(address[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

QString IpToText(win::DWORD address)
{
    QString text;
    for (int octet = 0; octet < 4; ++octet)
        text += QStringLiteral("%1.").arg((address >> (8 * octet)) & 0xFF, 3);
    text.chop(1);
    return text;
}

QString InterfaceIpText(win::DWORD index, const std::vector<win::MIB_IPADDRROW>& addresses)
{
    for (const auto& row : addresses)
        if (row.dwIndex == index)
            return IpToText(row.dwAddr);
    return QStringLiteral("!not_found!");
}

QString InterfaceIpText(win::DWORD index)
{
    std::vector<win::MIB_IPADDRROW> addresses;
    GetIpAddrTableRows(addresses);
    return InterfaceIpText(index, addresses);
}

std::int32_t FirstActiveAdapterRow(const std::vector<win::MIB_IFROW>& rows)
{
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].dwType != win::IF_TYPE_SOFTWARE_LOOPBACK &&
            rows[i].dwOperStatus == win::MIB_IF_OPER_STATUS_OPERATIONAL)
            return static_cast<std::int32_t>(i + 1);
    }
    return 0;
}

} // namespace pulo
