// A filled outline shape (circle or rectangle) such as the line indicators.
#pragma once

#include <QColor>
#include <QWidget>

namespace orbel {

class TShape : public QWidget {
    Q_OBJECT
public:
    enum TShapeType { stRectangle, stCircle };

    TShape(TShapeType type, QWidget* parent = nullptr);

    QColor BrushColor() const { return brush_; }
    void SetBrushColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TShapeType type_;
    QColor brush_{Qt::white};
};

} // namespace orbel
