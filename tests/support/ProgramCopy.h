#pragma once

// The program itself, copied into a test's folder, so that it keeps its files there.

#include <QFile>
#include <QTemporaryDir>

namespace pulo::test {

[[nodiscard]] inline QString CopyProgram(const QTemporaryDir& folder)
{
    const QString program = folder.filePath(QStringLiteral("pulopro"));
    QFile::copy(QStringLiteral(PULOPRO_EXECUTABLE), program);
    return program;
}

} // namespace pulo::test
