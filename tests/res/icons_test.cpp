#include "res/resources.h"

#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QImageReader>

#include <vector>

namespace velmora {
namespace {

constexpr QSize k_icon_size{16, 16};
constexpr int k_opaque_alpha = 128;

enum class Pointing { left, right };

// The column where the arrow is tallest is its head.
int head_column(const QImage& image) {
    int best_column = -1;
    int best_height = 0;
    for (int x = 0; x < image.width(); ++x) {
        int height = 0;
        for (int y = 0; y < image.height(); ++y) {
            height += qAlpha(image.pixel(x, y)) >= k_opaque_alpha ? 1 : 0;
        }
        if (height > best_height) {
            best_height = height;
            best_column = x;
        }
    }
    return best_column;
}

TEST(Icons, LoadAs16By16ArrowsPointingTheirWay) {
    velmora_init_resources();
    velmora_init_resources();  // a second call registers nothing twice
    const std::vector<std::pair<const char*, Pointing>> icons{{k_icon_lamp_left, Pointing::left},
                                                              {k_icon_lamp_right, Pointing::right}};
    for (const auto& [path, pointing] : icons) {
        SCOPED_TRACE(path);
        QImageReader reader(path);
        ASSERT_TRUE(reader.canRead())
            << reader.errorString().toStdString() << " (SVG needs Qt's svg image format plug-in)";
        EXPECT_EQ(reader.size(), k_icon_size);
        const QIcon icon(path);
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.actualSize(k_icon_size), k_icon_size);
        const QImage image = icon.pixmap(k_icon_size).toImage();
        ASSERT_EQ(image.size(), k_icon_size);
        const int head = head_column(image);
        ASSERT_GE(head, 0) << "nothing drawn";
        if (pointing == Pointing::left) {
            EXPECT_LT(head, k_icon_size.width() / 2);
        } else {
            EXPECT_GE(head, k_icon_size.width() / 2);
        }
    }
}

}  // namespace
}  // namespace velmora
