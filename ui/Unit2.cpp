#include "ui/Unit2.h"

TForm2* Form2 = nullptr;

#include "ui/FloatNumEdit.h"
#include "ui/FormFont.h"
#include "ui/TShape.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int ClientWidth = 424;
constexpr int ClientHeight = 227;

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

// A check box with its caption to the left of the box.
QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, QRect place,
                        bool checked) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setLayoutDirection(Qt::RightToLeft);
    box->setGeometry(place);
    box->setChecked(checked);
    return box;
}

// A white rectangle shape with a black outline.
TShape* MakeShape(QWidget* parent, const char* name, QRect place) {
    auto* shape = new TShape(TShape::stRectangle, parent);
    shape->setObjectName(QString::fromLatin1(name));
    shape->SetBrushColor(Qt::white);
    shape->setGeometry(place);
    return shape;
}

TFloatNumEdit* MakeNumEdit(QWidget* parent, const char* name, QRect place, double value) {
    auto* edit = new TFloatNumEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(place);
    edit->SetValue(value);
    return edit;
}

} // namespace

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Настройки графика"));
    setFixedSize(ClientWidth, ClientHeight);
    setAttribute(Qt::WA_QuitOnClose, false);
    const QFont formFont = FormFont();
    setFont(formFont);

    Label1 = MakeLabel(this, "Label1", QStringLiteral("КОЛИЧЕСТВО ТОЧЕК"), 92, 20);
    FloatNumEdit1 = MakeNumEdit(this, "FloatNumEdit1", QRect(216, 12, 61, 28), 500);
    QFont largeFont = formFont;
    largeFont.setPointSize(12);
    FloatNumEdit1->setFont(largeFont);

    CheckBox1 = MakeCheckBox(this, "CheckBox1", QStringLiteral("ОТОБРАЖАТЬ ИЗМЕРЕНОЕ РАССТОЯНИЕ"),
                             QRect(8, 69, 261, 17), true);
    Shape1 = MakeShape(this, "Shape1", QRect(288, 65, 25, 21));

    // Raised inner and lowered outer bevel: a groove around the panel.
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setMidLineWidth(0);
    Panel1->setGeometry(4, 92, 415, 33);
    Panel1Caption = new QLabel(QStringLiteral("Panel1"), Panel1);
    Panel1Caption->setObjectName(QStringLiteral("Panel1Caption"));
    Panel1Caption->setAlignment(Qt::AlignCenter);
    Panel1Caption->setGeometry(Panel1->contentsRect());

    CheckBox4 =
        MakeCheckBox(Panel1, "CheckBox4", QStringLiteral("ОТОБРАЖАТЬ УСРЕДНЕННОЕ РАССТОЯНИЕ"),
                     QRect(4, 8, 261, 17), false);
    CheckBox4->setAutoFillBackground(true);
    Shape4 = MakeShape(Panel1, "Shape4", QRect(284, 5, 25, 21));
    Label2 = MakeLabel(Panel1, "Label2", QStringLiteral("Коэф-т"), 336, 8);
    FloatNumEdit2 = MakeNumEdit(Panel1, "FloatNumEdit2", QRect(373, 5, 37, 21), 7);

    CheckBox2 = MakeCheckBox(this, "CheckBox2", QStringLiteral("ОТОБРАЖАТЬ ИЗМЕРЕННЫЙ УРОВЕНЬ"),
                             QRect(8, 133, 261, 17), false);
    Shape2 = MakeShape(this, "Shape2", QRect(288, 129, 25, 21));
    CheckBox3 = MakeCheckBox(this, "CheckBox3", QStringLiteral("ОТОБРАЖАТЬ УСРЕДНЕННЫЙ УРОВЕНЬ"),
                             QRect(8, 163, 261, 17), false);
    Shape3 = MakeShape(this, "Shape3", QRect(288, 160, 25, 21));

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(176, 193, 85, 25);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
}

void TForm2::Button1Click() {
    close();
}

void TForm2::setVisible(bool visible) {
    if (visible && !testAttribute(Qt::WA_Moved)) {
        CentreOverOwner();
    }
    QWidget::setVisible(visible);
}

void TForm2::CentreOverOwner() {
    QRect area;
    // Before the first showing the window has no frame yet: assume one like the
    // owner's.
    QSize frame = size();
    if (parentWidget() != nullptr) {
        const QWidget* owner = parentWidget()->window();
        area = owner->frameGeometry();
        frame += owner->frameGeometry().size() - owner->size();
    } else if (const QScreen* display = screen()) {
        area = display->availableGeometry();
    } else {
        return;
    }
    move(area.x() + (area.width() - frame.width()) / 2,
         area.y() + (area.height() - frame.height()) / 2);
}
