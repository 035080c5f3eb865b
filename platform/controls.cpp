#include "controls.h"

#include <QPushButton>

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

void SetBackColour(QPushButton* button, int colour)
{
    const QColor c(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    button->setProperty("backColour", colour);
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: white; border: 1px solid #555;"
                                         " border-radius: 4px; padding: 1px; font-weight: bold; }")
                              .arg(c.name()));
}

int BackColour(const QPushButton* button)
{
    return button->property("backColour").toInt();
}
