#include "accessiblenames.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>

#include <mutex>

namespace AccessibleNames {
namespace {

const char* const ComboName = "quillComboName";
const char* const ValuePattern = "quillValuePattern";
const char* const EmptyName = "quillEmptyName";

class NamedComboBox final : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return box()->property(ComboName).toString();
        if (t == QAccessible::Value)
            return box()->currentText();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        return s;
    }
    // The list that drops down, as Qt's own combo box gives it.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && child->object() == box()->view() ? 0 : -1;
    }
    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action == showMenuAction() || action == pressAction())
            box()->view()->isVisible() ? box()->hidePopup() : box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }
};

class ValueLabel final : public QAccessibleWidget {
public:
    explicit ValueLabel(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        const QLabel* label = static_cast<QLabel*>(widget());
        if (t == QAccessible::Name) {
            const QString value = label->text().trimmed();
            return value.isEmpty() ? label->property(EmptyName).toString()
                                   : label->property(ValuePattern).toString().arg(value);
        }
        if (t == QAccessible::Value)
            return label->text().trimmed();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("QComboBox") && object->property(ComboName).isValid())
        return new NamedComboBox(static_cast<QComboBox*>(object));
    if (className == QLatin1String("QLabel") && object->property(ValuePattern).isValid())
        return new ValueLabel(static_cast<QLabel*>(object));
    return nullptr;
}

void InstallFactory()
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(Factory); });
}

} // namespace

void NameComboBox(QComboBox* box, const QString& name)
{
    InstallFactory();
    box->setProperty(ComboName, name);
    box->setAccessibleName(name); // where the platform names combo boxes by their own name
}

void NameByValue(QLabel* label, const QString& pattern, const QString& emptyName)
{
    InstallFactory();
    label->setProperty(EmptyName, emptyName);
    label->setProperty(ValuePattern, pattern);
    // No fixed name: a fixed name would hide every change of the text from screen readers.
    label->setAccessibleName({});
}

} // namespace AccessibleNames
