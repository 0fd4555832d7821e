#include "base/visibletext.h"

QString visibleText(QStringView text)
{
    const auto needsEscape = [](char16_t c) {
        return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
    };
    QString visible;
    visible.reserve(text.size());
    for (const QChar character : text) {
        const char16_t c = character.unicode();
        if (!needsEscape(c)) {
            visible.append(character);
            continue;
        }
        switch (c) {
        case u'\n':
            visible.append(QLatin1String("\\n"));
            break;
        case u'\r':
            visible.append(QLatin1String("\\r"));
            break;
        case u'\t':
            visible.append(QLatin1String("\\t"));
            break;
        case 0x1B:
            visible.append(QLatin1String("\\e"));
            break;
        default:
            visible.append(c < 0x80 ? QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'))
                                    : QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0')));
        }
    }
    return visible;
}
