#include "ui/hexcolor.h"

namespace HexColor
{
std::optional<QColor> color(const QString &hex)
{
    QStringView digits = QStringView(hex).trimmed();
    if (digits.startsWith(u'#'))
        digits = digits.mid(1);
    if (digits.size() != 6)
        return std::nullopt;
    uint value = 0;
    for (const QChar c : digits) {
        const int digit = QChar::isLetterOrNumber(c.unicode()) && c.unicode() < 128
            ? QStringLiteral("0123456789abcdef").indexOf(c.toLower())
            : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + uint(digit);
    }
    return QColor::fromRgb(int((value >> 16) & 0xff), int((value >> 8) & 0xff), int(value & 0xff));
}

QColor colorOr(const QString &hex, const QColor &fallback)
{
    return color(hex).value_or(fallback);
}

QString hexString(const QColor &color)
{
    return color.name(QColor::HexRgb).toUpper();
}
}
