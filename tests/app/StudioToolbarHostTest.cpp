#include "app/StudioToolbarHost.h"

#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>

inline void PrintTo(const QRect& r, std::ostream* os)
{
    *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}

TEST(StudioToolbarHost, TakesTheControlWidthAndKeepsItCentred)
{
    auto* control = new QPushButton(QStringLiteral("Format"));
    control->setFixedSize(300, 20);
    std::unique_ptr<StudioToolbarHost> host(StudioToolbarHost::wrap(control));
    ASSERT_TRUE(host);
    EXPECT_EQ(host->controlWidth(), 300);
    EXPECT_EQ(host->sizeHint(), QSize(300, 36));
    EXPECT_EQ(control->parentWidget(), host.get());
    EXPECT_EQ(control->geometry(), QRect(0, 0, 300, 36)); // its fixed size was released

    host->show();
    host->resize(400, 50);
    EXPECT_EQ(control->geometry(), QRect(50, 7, 300, 36));
}

TEST(StudioToolbarHost, NoControlNoHost)
{
    EXPECT_EQ(StudioToolbarHost::wrap(nullptr), nullptr);
}
