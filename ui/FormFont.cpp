#include "ui/FormFont.h"

#include <QStringList>

namespace orbel {

QFont FormFont(int points) {
    QFont font(QStringLiteral("MS Sans Serif"), points);
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Liberation Sans Narrow")});
    font.setStyleHint(QFont::SansSerif);
    font.setStretch(QFont::SemiCondensed);
    return font;
}

} // namespace orbel
