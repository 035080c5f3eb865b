#include "controls.h"

QLabel* MakeLabel(const QString& name, const QString& text, const QStringList& fontFamilies, int pointSize, bool bold,
                  Qt::Alignment alignment)
{
    auto* label = new QLabel(text);
    label->setObjectName(name);
    QFont f;
    f.setFamilies(fontFamilies);
    f.setPointSize(pointSize);
    f.setBold(bold);
    label->setFont(f);
    label->setAlignment(alignment);
    return label;
}
