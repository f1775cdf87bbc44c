#include "ui/TShape.h"

#include <QPainter>

namespace orbel {

TShape::TShape(TShapeType type, QWidget* parent) : QWidget(parent), type_(type) {}

void TShape::SetBrushColor(const QColor& color) {
    if (color != brush_) {
        brush_ = color;
        update();
    }
}

void TShape::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(brush_);
    // A circle keeps the smaller side as its diameter, centred in the shape.
    const int side = std::min(width(), height()) - 1;
    const QRect circle((width() - side) / 2, (height() - side) / 2, side, side);
    if (type_ == stCircle) {
        painter.drawEllipse(circle);
    } else {
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

} // namespace orbel
