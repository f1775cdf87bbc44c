// A form's controls built from a table: one row a control, giving the member
// that keeps it (the member's type is the control's class), its name, its
// caption, the name of its parent and its place.
#pragma once

#include <QString>
#include <QWidget>

#include <type_traits>
#include <variant>

namespace orbel {

// A place on the parent; without a size the control takes its natural size.
struct TPlace {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

template <typename Form, typename... Controls> struct TControlRow {
    std::variant<Controls * Form::*...> member;
    const char* name;
    const char* caption; // UTF-8
    const char* parent;  // the name of the root or of a control made before
    TPlace place;
    bool visible = true;
};

// Puts a control at its place, at its natural size when the place has none.
inline void PlaceControl(QWidget* control, const TPlace& place) {
    if (place.width == 0 && place.height == 0) {
        control->adjustSize();
        control->move(place.left, place.top);
    } else {
        control->setGeometry(place.left, place.top, place.width, place.height);
    }
}

// Makes the controls of `rows` in their order (which is also their stacking
// and focus order) below `root`, and keeps each in its member of `form`.
// `make(std::type_identity<C>{}, caption, parent)` creates a control of class C.
template <typename Form, typename Rows, typename Make>
void BuildControlTable(Form& form, QWidget& root, const Rows& rows, Make&& make) {
    for (const auto& row : rows) {
        const QString parentName = QString::fromLatin1(row.parent);
        QWidget* parent =
            root.objectName() == parentName ? &root : root.findChild<QWidget*>(parentName);
        Q_ASSERT(parent != nullptr);
        std::visit(
            [&](auto member) {
                using Control =
                    std::remove_pointer_t<std::remove_reference_t<decltype(form.*member)>>;
                Control* control =
                    make(std::type_identity<Control>{}, QString::fromUtf8(row.caption), parent);
                control->setObjectName(QString::fromLatin1(row.name));
                PlaceControl(control, row.place);
                if (!row.visible) {
                    control->setVisible(false);
                }
                form.*member = control;
            },
            row.member);
    }
}

} // namespace orbel
