#include "quickopen/SearchPanelWindow.h"

#include "widgets/PanelPalette.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace flintly {

namespace {
// The translucent fills standing in for the desktop's materials; opaque where nothing
// would show through.
QColor materialColor(SearchPanelWindow::Material m, bool translucent)
{
    const int alpha = translucent ? 235 : 255;
    return m == SearchPanelWindow::Material::sidebar ? QColor(244, 244, 246, alpha) : QColor(34, 34, 38, alpha);
}

// A box blur run three times approximates a Gaussian; enough for a shadow.
void blurAlpha(QImage& image, int radius)
{
    const int w = image.width();
    const int h = image.height();
    std::vector<int> line(static_cast<std::size_t>(std::max(w, h)));
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y) {
            auto* px = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x)
                line[static_cast<std::size_t>(x)] = qAlpha(px[x]);
            int sum = 0;
            for (int x = -radius; x <= radius; ++x)
                sum += line[static_cast<std::size_t>(std::clamp(x, 0, w - 1))];
            for (int x = 0; x < w; ++x) {
                px[x] = qRgba(0, 0, 0, sum / (2 * radius + 1));
                sum += line[static_cast<std::size_t>(std::min(x + radius + 1, w - 1))]
                    - line[static_cast<std::size_t>(std::max(x - radius, 0))];
            }
        }
        for (int x = 0; x < w; ++x) {
            for (int y = 0; y < h; ++y)
                line[static_cast<std::size_t>(y)] = qAlpha(reinterpret_cast<const QRgb*>(image.constScanLine(y))[x]);
            int sum = 0;
            for (int y = -radius; y <= radius; ++y)
                sum += line[static_cast<std::size_t>(std::clamp(y, 0, h - 1))];
            for (int y = 0; y < h; ++y) {
                reinterpret_cast<QRgb*>(image.scanLine(y))[x] = qRgba(0, 0, 0, sum / (2 * radius + 1));
                sum += line[static_cast<std::size_t>(std::min(y + radius + 1, h - 1))]
                    - line[static_cast<std::size_t>(std::max(y - radius, 0))];
            }
        }
    }
}
}  // namespace

SearchPanelWindow::SearchPanelWindow(CompositorWatcher& compositor)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint)
{
    setWindowTitle(QStringLiteral("Quick Open"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose, false);
    surface_ = new PanelSurface(this, kCornerRadius, kMargin, compositor);
    surface_->setFixedBodySize(QSize(kBodySize, kBodySize));
    connect(surface_, &PanelSurface::changed, this, &SearchPanelWindow::layOut);
    material_ = materialFor(palette());
    buildShadow();
}

SearchPanelWindow::Material SearchPanelWindow::materialFor(const QPalette& palette)
{
    return isDarkPalette(palette) ? Material::hudWindow : Material::sidebar;
}

void SearchPanelWindow::setContent(QWidget* content)
{
    content_ = content;
    content_->setParent(this);
    layOut();
    // Rows scrolled to the bottom stay inside the rounded corners.
    QPainterPath corners;
    corners.addRoundedRect(QRectF(0, 0, kBodySize, kBodySize), kCornerRadius, kCornerRadius);
    content_->setMask(QRegion(corners.toFillPolygon().toPolygon()));
    content_->show();
}

void SearchPanelWindow::layOut()
{
    if (content_)
        content_->setGeometry(bodyRect());
    buildShadow();
}

void SearchPanelWindow::buildShadow()
{
    if (!surface_->isComposited()) {
        shadow_ = QImage();
        return;
    }
    shadow_ = QImage(size(), QImage::Format_ARGB32);
    shadow_.fill(Qt::transparent);
    QPainter p(&shadow_);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath body;
    body.addRoundedRect(QRectF(bodyRect()).translated(0, 3), kCornerRadius, kCornerRadius);
    p.fillPath(body, QColor(0, 0, 0, qRound(255 * kShadowOpacity)));
    p.end();
    blurAlpha(shadow_, kShadowRadius / 3);
}

void SearchPanelWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (surface_->isComposited()) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.drawImage(0, 0, shadow_);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillPath(surface_->bodyPath(), materialColor(material_, true));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else {
        // Every pixel, the cut-off corners too: what the shape leaves on screen is opaque.
        p.fillRect(rect(), materialColor(material_, false));
    }
    p.setPen(QPen(QColor(255, 255, 255, qRound(255 * kBorderAlpha)), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(bodyRect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius, kCornerRadius);
}

void SearchPanelWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
        const Material next = materialFor(palette());
        if (next != material_) {
            material_ = next;
            update();
        }
    }
    QWidget::changeEvent(event);
}

}  // namespace flintly
