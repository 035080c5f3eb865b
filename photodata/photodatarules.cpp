#include "photodatarules.h"

#include <QRegularExpression>

namespace PhotoDataRules {

int PageOf(const QString& pageText)
{
    static const QRegularExpression whole(QStringLiteral("^\\s*(\\d{1,2})\\s*$"));
    const QRegularExpressionMatch m = whole.match(pageText);
    const int page = m.hasMatch() ? m.captured(1).toInt() : 0;
    return page >= 1 && page <= 10 ? page : 0;
}

int SlotOf(const QString& pictureKey, int page)
{
    static const QRegularExpression key(QStringLiteral("^\\s*[Pp](\\d{1,2})[Ii](\\d{1,2})\\s*$"));
    const QRegularExpressionMatch m = key.match(pictureKey);
    if (!m.hasMatch() || m.captured(1).toInt() != page)
        return -1;
    const int slot = m.captured(2).toInt();
    return slot >= 0 && slot <= 11 ? slot : -1;
}

} // namespace PhotoDataRules
