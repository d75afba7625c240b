// libFuzzer: the log's reader takes whatever file a user has in the log's place.

#include "settings/RichText.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList lines = pulo::ReadRichText(bytes);
    QStringList again = pulo::ReadRichText(pulo::WriteRichText(lines));
    // What is read writes back and reads again as the same lines (blank lines at the very end
    // aside: a file's last line break ends its last line).
    for (QStringList* list : {&lines, &again})
        while (!list->isEmpty() && list->last().isEmpty())
            list->removeLast();
    if (again != lines)
        __builtin_trap();
    return 0;
}
