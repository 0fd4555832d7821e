#include "ui/trackingnumberdrop.h"

#include "base/textlength.h"
#include "model/package.h"

#include <QStringDecoder>

namespace TrackingNumberDrop
{
namespace
{
bool isSeparator(char32_t c)
{
    return QChar::isSpace(c) || c == 0x2028 || c == 0x2029 || c == 0x85;
}

bool isAlphanumeric(char32_t c)
{
    // Letters, marks and numbers, as the Unicode alphanumerics set.
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}
}

std::optional<QString> decode(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QStringList candidates(const QString &text)
{
    QStringList result;
    const QList<uint> codePoints = text.toUcs4();
    QList<char32_t> piece;
    const auto finishPiece = [&] {
        qsizetype first = 0;
        qsizetype last = piece.size();
        while (first < last && QChar::isPunct(piece.at(first)))
            ++first;
        while (last > first && QChar::isPunct(piece.at(last - 1)))
            --last;
        const QString word
            = Package::normalizeTrackingNumber(QString::fromUcs4(piece.constData() + first, last - first));
        piece.clear();
        if (word.isEmpty())
            return;
        if (userPerceivedLength(word) < 8)
            return;
        const QList<uint> chars = word.toUcs4();
        if (std::all_of(chars.begin(), chars.end(), [](uint c) { return isAlphanumeric(char32_t(c)); }))
            result.append(word);
    };
    for (const uint c : codePoints) {
        if (isSeparator(char32_t(c)))
            finishPiece();
        else
            piece.append(char32_t(c));
    }
    finishPiece();
    return result;
}
}
