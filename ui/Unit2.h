// TForm2: the graph settings window. It is created hidden at start-up and
// nothing in the program shows it or reads its controls; its OK button hides it
// again and the values entered stay.
#pragma once

#include <QWidget>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
namespace orbel {
class TFloatNumEdit;
class TShape;
} // namespace orbel

class TForm2 : public QWidget {
    Q_OBJECT

public:
    // With a parent the window belongs to it and is centred over it when shown;
    // without one it is centred on the screen. Closing it never ends the program.
    explicit TForm2(QWidget* parent = nullptr);

    // Click of "OK": closes (hides) the window.
    void Button1Click();

    // The controls, each with its objectName equal to its member name.
    QLabel* Label1 = nullptr;
    orbel::TFloatNumEdit* FloatNumEdit1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    orbel::TShape* Shape1 = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Panel1Caption = nullptr; // the panel's caption, covered by CheckBox4
    QCheckBox* CheckBox4 = nullptr;
    orbel::TShape* Shape4 = nullptr;
    QLabel* Label2 = nullptr;
    orbel::TFloatNumEdit* FloatNumEdit2 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    orbel::TShape* Shape2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    orbel::TShape* Shape3 = nullptr;
    QPushButton* Button1 = nullptr;

    // Places the window before its first showing unless it was moved already.
    void setVisible(bool visible) override;

private:
    void CentreOverOwner();
};

// The graph settings window, created hidden by the program entry.
extern TForm2* Form2;
