#include "ui/Unit2.h"

TForm2* Form2 = nullptr;

#include "ui/ControlTable.h"
#include "ui/FloatNumEdit.h"
#include "ui/FormFont.h"
#include "ui/TShape.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <span>

using namespace orbel;

namespace {

constexpr int ClientWidth = 424;
constexpr int ClientHeight = 227;

using TForm2Control =
    TControlRow<TForm2, QLabel, TFloatNumEdit, QCheckBox, TShape, QFrame, QPushButton>;

// The controls in the designer's order. Check boxes carry their caption to the
// left of the box; a number field's caption is its value.
// clang-format off
const TForm2Control Controls[] = {
    {&TForm2::Label1, "Label1", "КОЛИЧЕСТВО ТОЧЕК", "Form2", {92, 20}},
    {&TForm2::FloatNumEdit1, "FloatNumEdit1", "500", "Form2", {216, 12, 61, 28}},
    {&TForm2::CheckBox1, "CheckBox1", "ОТОБРАЖАТЬ ИЗМЕРЕНОЕ РАССТОЯНИЕ", "Form2", {8, 69, 261, 17}},
    {&TForm2::Shape1, "Shape1", "", "Form2", {288, 65, 25, 21}},
    {&TForm2::Panel1, "Panel1", "", "Form2", {4, 92, 415, 33}},
    // Here the panel's caption is made, under what follows on the panel.
    {&TForm2::CheckBox4, "CheckBox4", "ОТОБРАЖАТЬ УСРЕДНЕННОЕ РАССТОЯНИЕ", "Panel1", {4, 8, 261, 17}},
    {&TForm2::Shape4, "Shape4", "", "Panel1", {284, 5, 25, 21}},
    {&TForm2::Label2, "Label2", "Коэф-т", "Panel1", {336, 8}},
    {&TForm2::FloatNumEdit2, "FloatNumEdit2", "7", "Panel1", {373, 5, 37, 21}},
    {&TForm2::CheckBox2, "CheckBox2", "ОТОБРАЖАТЬ ИЗМЕРЕННЫЙ УРОВЕНЬ", "Form2", {8, 133, 261, 17}},
    {&TForm2::Shape2, "Shape2", "", "Form2", {288, 129, 25, 21}},
    {&TForm2::CheckBox3, "CheckBox3", "ОТОБРАЖАТЬ УСРЕДНЕННЫЙ УРОВЕНЬ", "Form2", {8, 163, 261, 17}},
    {&TForm2::Shape3, "Shape3", "", "Form2", {288, 160, 25, 21}},
    {&TForm2::Button1, "Button1", "OK", "Form2", {176, 193, 85, 25}},
};
// clang-format on
constexpr std::size_t PanelCaptionAt = 5;

template <typename Control>
Control* MakeControl(std::type_identity<Control>, const QString& caption, QWidget* parent) {
    if constexpr (std::is_same_v<Control, TShape>) {
        // A white rectangle with a black outline.
        auto* shape = new TShape(TShape::stRectangle, parent);
        shape->SetBrushColor(Qt::white);
        return shape;
    } else if constexpr (std::is_same_v<Control, TFloatNumEdit>) {
        auto* edit = new TFloatNumEdit(parent);
        edit->SetValue(caption.toDouble());
        return edit;
    } else if constexpr (std::is_same_v<Control, QCheckBox>) {
        auto* box = new QCheckBox(caption, parent);
        box->setLayoutDirection(Qt::RightToLeft);
        return box;
    } else if constexpr (std::is_same_v<Control, QFrame>) {
        // Raised inner and lowered outer bevel: a groove around the panel.
        auto* panel = new QFrame(parent);
        panel->setFrameStyle(QFrame::Box | QFrame::Sunken);
        panel->setLineWidth(1);
        panel->setMidLineWidth(0);
        return panel;
    } else {
        return new Control(caption, parent);
    }
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

    const auto make = [](auto type, const QString& caption, QWidget* parent) {
        return MakeControl(type, caption, parent);
    };
    const std::span<const TForm2Control> rows(Controls);
    BuildControlTable(*this, *this, rows.first(PanelCaptionAt), make);
    Panel1Caption = new QLabel(QStringLiteral("Panel1"), Panel1);
    Panel1Caption->setObjectName(QStringLiteral("Panel1Caption"));
    Panel1Caption->setAlignment(Qt::AlignCenter);
    Panel1Caption->setGeometry(Panel1->contentsRect());
    BuildControlTable(*this, *this, rows.subspan(PanelCaptionAt), make);

    QFont largeFont = formFont;
    largeFont.setPointSize(12);
    FloatNumEdit1->setFont(largeFont);
    CheckBox1->setChecked(true);
    CheckBox4->setAutoFillBackground(true);

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
