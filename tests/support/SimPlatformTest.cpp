#include "tests/support/SimPlatformTest.h"

#include "common/FormatSettings.h"

#include <QFile>

namespace pulo::test {

void SimPlatformTest::SetUp()
{
    Folder = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(Folder->isValid());
    Sim = win::sim::InstallSimBackend();
    Sim->ModulePath = Folder->filePath(QStringLiteral("pulopro")).toStdString();
    CurrentFormat() = FormatSettings{};
}

void SimPlatformTest::TearDown()
{
    CurrentFormat() = FormatSettings{};
}

QString SimPlatformTest::IniPath() const
{
    return Folder->filePath(QStringLiteral("pulopro.ini"));
}

void SimPlatformTest::WriteIni(const QByteArray& bytes) const
{
    QFile file(IniPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray SimPlatformTest::ReadIni() const
{
    QFile file(IniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace pulo::test
