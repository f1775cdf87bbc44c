// The graph settings window: hidden at creation, its controls as designed, and
// its OK button.
#include "ui/Unit2.h"

#include "QtPrinters.h"
#include "ui/FloatNumEdit.h"
#include "ui/TShape.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace orbel;

namespace {

class GraphSettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        TRegionalSettings russian;
        russian.DecimalSeparator = u',';
        SetRegionalSettingsForTests(russian);
        form = std::make_unique<TForm2>();
    }
    void TearDown() override {
        form.reset();
        ResetRegionalSettingsForTests();
    }

    std::unique_ptr<TForm2> form;
};

} // namespace

TEST_F(GraphSettingsWindowTest, IsCreatedHiddenAsAFixedToolWindow) {
    EXPECT_TRUE(form->isHidden());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Настройки графика"));
    EXPECT_EQ(form->size(), QSize(424, 227));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(form->windowType(), Qt::Tool);
    EXPECT_FALSE(form->windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(form->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form->testAttribute(Qt::WA_QuitOnClose));
}

TEST_F(GraphSettingsWindowTest, HasEveryControlWhereTheDesignPutsIt) {
    const struct {
        const char* name;
        const char* parent;
        QRect place; // labels: only the position counts
        const char* caption;
    } controls[] = {
        {"Label1", "Form2", {92, 20, 0, 0}, "КОЛИЧЕСТВО ТОЧЕК"},
        {"FloatNumEdit1", "Form2", {216, 12, 61, 28}, "500"},
        {"CheckBox1", "Form2", {8, 69, 261, 17}, "ОТОБРАЖАТЬ ИЗМЕРЕНОЕ РАССТОЯНИЕ"},
        {"Shape1", "Form2", {288, 65, 25, 21}, ""},
        {"Panel1", "Form2", {4, 92, 415, 33}, ""},
        {"CheckBox4", "Panel1", {4, 8, 261, 17}, "ОТОБРАЖАТЬ УСРЕДНЕННОЕ РАССТОЯНИЕ"},
        {"Shape4", "Panel1", {284, 5, 25, 21}, ""},
        {"Label2", "Panel1", {336, 8, 0, 0}, "Коэф-т"},
        {"FloatNumEdit2", "Panel1", {373, 5, 37, 21}, "7"},
        {"CheckBox2", "Form2", {8, 133, 261, 17}, "ОТОБРАЖАТЬ ИЗМЕРЕННЫЙ УРОВЕНЬ"},
        {"Shape2", "Form2", {288, 129, 25, 21}, ""},
        {"CheckBox3", "Form2", {8, 163, 261, 17}, "ОТОБРАЖАТЬ УСРЕДНЕННЫЙ УРОВЕНЬ"},
        {"Shape3", "Form2", {288, 160, 25, 21}, ""},
        {"Button1", "Form2", {176, 193, 85, 25}, "OK"},
    };
    int shapes = 0;
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        const auto* widget = form->findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(c.parent));
        if (c.place.isEmpty()) {
            EXPECT_EQ(widget->pos(), c.place.topLeft());
        } else {
            EXPECT_EQ(widget->geometry(), c.place);
        }
        const QString caption = QString::fromUtf8(c.caption);
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            EXPECT_EQ(label->text(), caption);
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            EXPECT_EQ(button->text(), caption);
        } else if (const auto* edit = qobject_cast<const TFloatNumEdit*>(widget)) {
            EXPECT_EQ(edit->text(), caption);
            EXPECT_EQ(edit->Precision(), 8);
            EXPECT_EQ(edit->Digits(), 4);
            EXPECT_EQ(edit->Format(), ffGeneral);
        }
        if (const auto* box = qobject_cast<const QCheckBox*>(widget)) {
            EXPECT_EQ(box->layoutDirection(), Qt::RightToLeft) << "caption left of the box";
            EXPECT_EQ(box->isChecked(), box == form->CheckBox1);
        }
        if (const auto* shape = qobject_cast<const TShape*>(widget)) {
            EXPECT_EQ(shape->BrushColor(), QColor(Qt::white));
            ++shapes;
        }
    }
    EXPECT_EQ(shapes, 4);
    EXPECT_EQ(form->FloatNumEdit1->font().pointSize(), 12);
    EXPECT_EQ(form->FloatNumEdit2->font().pointSize(), 8);
    EXPECT_EQ(form->Panel1Caption->text(), "Panel1");
}

TEST_F(GraphSettingsWindowTest, OkHidesTheWindowAndKeepsTheValues) {
    QWidget owner;
    owner.setGeometry(100, 100, 800, 600);
    owner.show();
    TForm2 owned(&owner);
    owned.show();
    EXPECT_TRUE(owned.isVisible());
    EXPECT_LE((owned.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(),
              2);

    owned.FloatNumEdit1->selectAll();
    QTest::keyClicks(owned.FloatNumEdit1, QStringLiteral("250.5"));
    owned.CheckBox1->setChecked(false);
    owned.CheckBox3->setChecked(true);
    QTest::mouseClick(owned.Button1, Qt::LeftButton);

    EXPECT_FALSE(owned.isVisible());
    EXPECT_TRUE(owner.isVisible());
    EXPECT_EQ(owned.FloatNumEdit1->text(), "250,5");
    EXPECT_EQ(owned.FloatNumEdit1->Value(), 250.5);
    owned.show();
    EXPECT_FALSE(owned.CheckBox1->isChecked());
    EXPECT_TRUE(owned.CheckBox3->isChecked());
    EXPECT_EQ(owned.FloatNumEdit2->text(), "7");
}
