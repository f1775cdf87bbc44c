#include "WindowFixture.h"

#include <QLabel>
#include <QPlainTextEdit>

#include <cstdio>

QString WindowFixture::Panel1() const {
    return form->StatusPanel1->text();
}

QString WindowFixture::Panel0() const {
    return form->StatusPanel0->text();
}

QStringList WindowFixture::MemoLines() const {
    const QString text = form->Memo1->toPlainText();
    return text.isEmpty() ? QStringList{} : text.split(u'\n');
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char digits[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X ", b);
        text += digits;
    }
    return text;
}
