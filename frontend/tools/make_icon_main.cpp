// Writes the player's icon, as the Qt window draws it, into a Windows icon file of one 32 x 32
// image with 256 colours: make_icon OUT.ico. The Win32 window carries the result
// (frontend/win32/qzrgui.ico); run this again after changing the drawing.
#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <cstdint>
#include <cstdio>
#include <string>

#include "qzr/frontend/player_icon.h"
#include "qzr/frontend/window_model.h"

namespace {

constexpr int kSize = 32;
constexpr int kColours = 256;
// A pixel at least half covered is drawn; the rest shows what lies behind the icon.
constexpr int kOpaqueAlpha = 128;

void PutLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
}

// The drawing on the window's grey where it is partly covered, then cut down to 256 colours.
QImage IndexedIcon(const QImage& drawn, QImage& opaque) {
    QImage flat(kSize, kSize, QImage::Format_RGB32);
    opaque = QImage(kSize, kSize, QImage::Format_Mono);
    const QColor grey = QColor::fromRgb(qzr::frontend::kBackgroundRgb);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const QColor pixel = drawn.pixelColor(x, y);
            const double cover = pixel.alphaF();
            const auto mix = [cover](int ink, int ground) {
                return static_cast<int>(ink * cover + ground * (1.0 - cover) + 0.5);
            };
            flat.setPixelColor(
                x, y,
                QColor(mix(pixel.red(), grey.red()), mix(pixel.green(), grey.green()),
                       mix(pixel.blue(), grey.blue())));
            opaque.setPixel(x, y, pixel.alpha() >= kOpaqueAlpha ? 1u : 0u);
        }
    }
    return flat.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
}

std::string IconFile(const QImage& indexed, const QImage& opaque) {
    constexpr int kXorRowBytes = kSize;      // 8 bits a pixel, already a multiple of 4
    constexpr int kAndRowBytes = kSize / 8;  // 1 bit a pixel, 4 bytes
    constexpr int kHeaderBytes = 40;
    constexpr int kImageBytes =
        kHeaderBytes + kColours * 4 + kSize * kXorRowBytes + kSize * kAndRowBytes;

    std::string out;
    PutLe(out, 0, 2);  // icon directory: reserved, type 1 (icon), one image
    PutLe(out, 1, 2);
    PutLe(out, 1, 2);
    out.push_back(static_cast<char>(kSize));  // width, height, colours (0 means 256), reserved
    out.push_back(static_cast<char>(kSize));
    out.push_back(0);
    out.push_back(0);
    PutLe(out, 1, 2);  // planes
    PutLe(out, 8, 2);  // bits a pixel
    PutLe(out, kImageBytes, 4);
    PutLe(out, 22, 4);  // where the image starts

    PutLe(out, kHeaderBytes, 4);
    PutLe(out, kSize, 4);
    PutLe(out, 2 * kSize, 4);  // the colour image and the mask, stacked
    PutLe(out, 1, 2);
    PutLe(out, 8, 2);
    PutLe(out, 0, 4);  // uncompressed
    PutLe(out, kSize * kXorRowBytes + kSize * kAndRowBytes, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    PutLe(out, kColours, 4);
    PutLe(out, 0, 4);
    for (int i = 0; i < kColours; ++i) {
        const QRgb colour = i < indexed.colorCount() ? indexed.color(i) : 0u;
        out.push_back(static_cast<char>(qBlue(colour)));
        out.push_back(static_cast<char>(qGreen(colour)));
        out.push_back(static_cast<char>(qRed(colour)));
        out.push_back(0);
    }
    for (int y = kSize - 1; y >= 0; --y) {  // bottom row first
        for (int x = 0; x < kSize; ++x) out.push_back(static_cast<char>(indexed.pixelIndex(x, y)));
    }
    for (int y = kSize - 1; y >= 0; --y) {
        for (int byte = 0; byte < kAndRowBytes; ++byte) {
            unsigned bits = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const bool seeThrough = opaque.pixelIndex(byte * 8 + bit, y) == 0;
                bits |= (seeThrough ? 1u : 0u) << (7 - bit);
            }
            out.push_back(static_cast<char>(bits));
        }
    }
    return out;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.ico\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage drawn = qzr::frontend::MakePlayerIcon()
                             .pixmap(kSize, kSize)
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    QImage opaque;
    const QImage indexed = IndexedIcon(drawn, opaque);
    const std::string bytes = IconFile(indexed, opaque);
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size())) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
