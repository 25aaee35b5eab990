// Writes the program's icon, drawn as pixel art in the core, as the PNG files of a freedesktop hicolor icon
// theme (16, 32 and 48 pixels), so the installed icons come from the same readable source as the window's.
// 48 pixels has no drawing of its own: it is the 16-pixel art scaled by three, which keeps its pixels crisp.
//
//   hovermark_write_icon_pngs OUT_DIR        writes OUT_DIR/16x16/apps/hovermark.png and the others
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>
#include <string_view>

#include "main_window/pictures.h"
#include "platform/qt/picture_images.h"

namespace {

constexpr std::string_view kIconName = "hovermark";

struct IconSize {
    int pixels;
    std::string_view art;
};

constexpr IconSize kIconSizes[] = {
    {16, hovermark::pictures::kAppIcon16},
    {32, hovermark::pictures::kAppIcon32},
    {48, hovermark::pictures::kAppIcon16},
};

bool WriteIcon(const QString& theme_dir, const IconSize& size) {
    const hovermark::PixelArt* art = hovermark::FindPicture(size.art);
    if (art == nullptr) {
        std::fprintf(stderr, "no picture named %.*s\n", static_cast<int>(size.art.size()), size.art.data());
        return false;
    }
    const QImage image = hovermark::qt::ImageFromPixelArt(*art).scaled(size.pixels, size.pixels);
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(theme_dir).arg(size.pixels);
    const QString file = QStringLiteral("%1/%2.png").arg(folder, QString::fromUtf8(kIconName.data(), kIconName.size()));
    if (image.isNull() || !QDir().mkpath(folder) || !image.save(file, "PNG")) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(file));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    const QString theme_dir = QString::fromLocal8Bit(argv[1]);
    for (const IconSize& size : kIconSizes) {
        if (!WriteIcon(theme_dir, size)) {
            return 1;
        }
    }
    return 0;
}
