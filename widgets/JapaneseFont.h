#pragma once
// The proportional Gothic Japanese font the windows ask for, with fallbacks that Debian ships.

#include <QFont>

namespace widgets {

inline QFont gothicFont(double pointSize, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("IPAGothic"), QStringLiteral("VL PGothic")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

}  // namespace widgets
