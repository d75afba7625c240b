// The program's style draws exactly what the desktop's own style draws: only where its pictures
// are read from differs.

#include "widgets/StandardIconStyle.h"

#include <QGroupBox>
#include <QStyleFactory>

#include <gtest/gtest.h>

#include <memory>

namespace pulo {
namespace {

QImage Drawn(QStyle* style, const QString& title, bool checkable)
{
    QGroupBox box(title);
    box.setStyle(style);
    box.setCheckable(checkable);
    box.resize(160, 90);
    return box.grab().toImage();
}

TEST(StandardIconStyleTest, GroupBoxesAndExtensionArrowsLookAsTheFusionStyleDrawsThem)
{
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("fusion")));
    auto* own = new TStandardIconStyle; // the proxy takes its base style from the application
    own->setBaseStyle(QStyleFactory::create(QStringLiteral("fusion")));
    std::unique_ptr<QStyle> ownStyle(own);
    const struct
    {
        const char* Title;
        bool Checkable;
    } boxes[] = {{"Current Session", false}, {"", false}, {"", true}, {"Alarms", true}};
    for (const auto& box : boxes) {
        SCOPED_TRACE(std::string("\"") + box.Title + "\"" + (box.Checkable ? ", checkable" : ""));
        const QImage expected = Drawn(fusion.get(), QString::fromLatin1(box.Title), box.Checkable);
        EXPECT_TRUE(Drawn(own, QString::fromLatin1(box.Title), box.Checkable) == expected);
    }
    for (const auto which : {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton}) {
        for (const int size : {8, 16, 32}) {
            SCOPED_TRACE(testing::Message() << "arrow " << which << " at " << size);
            const QImage expected = fusion->standardIcon(which).pixmap(size).toImage();
            ASSERT_FALSE(expected.isNull());
            EXPECT_TRUE(own->standardIcon(which).pixmap(size).toImage() == expected);
        }
    }
}

} // namespace
} // namespace pulo
