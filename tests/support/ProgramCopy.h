#pragma once

// The program itself, copied into a test's folder, so that it keeps its files there.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace pulo::test {

[[nodiscard]] inline QString CopyProgram(const QTemporaryDir& folder)
{
    const QString program = folder.filePath(QStringLiteral("pulopro"));
    QFile::copy(QStringLiteral(PULOPRO_EXECUTABLE), program);
    return program;
}

// Starts the copy in folder on Qt's offscreen platform, its private runtime folder in folder too.
inline void StartProgram(QProcess& copy, const QString& program, const QTemporaryDir& folder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder.path());
    copy.setProcessEnvironment(environment);
    copy.start(program, {});
}

} // namespace pulo::test
