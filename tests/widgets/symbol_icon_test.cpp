#include "widgets/SymbolIcon.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include <algorithm>

using namespace flintly;

// Where a picture has ink, in device pixels.
QRect inkBounds(const QImage& image)
{
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

int strongestAlpha(const QImage& image)
{
    int strongest = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            strongest = std::max(strongest, qAlpha(image.pixel(x, y)));
    return strongest;
}

TEST(SymbolIcon, AFadedSymbolFillsItsSizeOnAScreenOfScaleTwo)
{
    QColor ink(Qt::black);
    const QPixmap solid = symbolPixmap(QStringLiteral("magnifyingglass"), ink, QSize(14, 14), 2.0);
    ink.setAlphaF(0.6f);
    const QPixmap faded = symbolPixmap(QStringLiteral("magnifyingglass"), ink, QSize(14, 14), 2.0);
    EXPECT_EQ(faded.deviceIndependentSize(), QSizeF(14, 14));
    EXPECT_EQ(faded.size(), QSize(28, 28));
    EXPECT_EQ(inkBounds(faded.toImage()), inkBounds(solid.toImage()));
    // The colour's alpha fades the whole picture: the secondary symbols of the toolbar.
    EXPECT_NEAR(strongestAlpha(faded.toImage()), 0.6 * strongestAlpha(solid.toImage()), 2);
}
