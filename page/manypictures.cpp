#include "manypictures.h"

#include <QFileInfo>

namespace ManyPictures {

QList<int> TargetSlots(const QStringList& tags, int first)
{
    QList<int> targets;
    if (first >= 0)
        targets << first;
    for (int s = first + 1; s < 12 && s < tags.size(); ++s) {
        if (tags[s] != QLatin1String("1"))
            targets << s;
    }
    return targets;
}

QString DidNotFitQuestion(int left, int page)
{
    return QStringLiteral("%1 pictures did not fit on page %2. Go on with page %3?").arg(left).arg(page).arg(page + 1);
}

QString LeftOutMessage(int left)
{
    return QStringLiteral("Page 10 is full: %1 pictures were left out.").arg(left);
}

QString NotAPictureMessage(const QString& path)
{
    return QStringLiteral("The file selected is not a picture file\r\n") + QFileInfo(path).fileName();
}

} // namespace ManyPictures
