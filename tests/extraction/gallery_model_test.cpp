#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include "extraction/file_icons.h"
#include "extraction/gallery_model.h"

using namespace gg;

namespace {
QImage filled(QRgb colour)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}
} // namespace

TEST(GalleryModel, ImagesBecomeItemsOnlyWhenAddedInOnePass)
{
    GalleryModel list;
    std::vector<std::pair<int, int>> inserted;
    QObject::connect(&list, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int first, int last) { inserted.emplace_back(first, last); });
    for (int i = 0; i < 5; ++i)
        list.add(filled(qRgba(10 * i, 0, 0, 255)), QStringLiteral("f%1.ico").arg(i));
    EXPECT_EQ(list.count(), 5);
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_TRUE(inserted.empty());

    list.addItems();
    EXPECT_EQ(list.rowCount(), 5);
    EXPECT_EQ(inserted, (std::vector<std::pair<int, int>>{{0, 4}}));
    EXPECT_EQ(list.data(list.index(3), Qt::DisplayRole).toString(), QStringLiteral("f3.ico"));
    EXPECT_EQ(qvariant_cast<QImage>(list.data(list.index(3), Qt::DecorationRole)).pixel(0, 0), qRgba(30, 0, 0, 255));

    list.clearItems();
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(list.count(), 5);
    list.clear();
    EXPECT_EQ(list.count(), 0);
}

TEST(GalleryModel, ClearingTheImagesTakesTheItemsWithThem)
{
    GalleryModel list;
    list.add(filled(0xff000000), QStringLiteral("a.ico"));
    list.addItems();
    int resets = 0;
    QObject::connect(&list, &QAbstractItemModel::modelReset, [&] { ++resets; });
    list.clear();
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(resets, 1);
    EXPECT_FALSE(list.data(list.index(0), Qt::DisplayRole).isValid());
}

TEST(galleryImage, KeepsTransparencyAtThirtyTwoPixels)
{
    QImage premultiplied(32, 32, QImage::Format_ARGB32_Premultiplied);
    premultiplied.fill(qRgba(0, 0, 0, 0));
    premultiplied.setPixel(5, 5, qPremultiply(qRgba(200, 100, 50, 128)));
    const QImage kept = galleryImage(premultiplied);
    EXPECT_EQ(kept.format(), QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(kept.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(kept.pixel(5, 5)), 128);

    const QImage large = galleryImage(filled(qRgba(1, 2, 3, 255)).scaled(48, 48));
    EXPECT_EQ(large.size(), QSize(32, 32));
}

TEST(countersLine, FourBlanksBetweenPlainNumbers)
{
    EXPECT_EQ(countersLine(2, 1, 3), QStringLiteral("Total Files: 2    Icon Files: 1    Total Icons: 3"));
    EXPECT_EQ(countersLine(0, 0, 0), QStringLiteral("Total Files: 0    Icon Files: 0    Total Icons: 0"));
    EXPECT_EQ(countersLine(70000, 40000, 123456),
              QStringLiteral("Total Files: 70000    Icon Files: 40000    Total Icons: 123456"));
}
