#include "scriptedinteraction.h"

#include "form.h"

#include <QTest>

const Question& AskedQuestions::operator[](qsizetype i) const
{
    if (i >= 0 && i < size())
        return QList<Question>::operator[](i);
    static Question none;
    none = Question{};
    none.prompt = QStringLiteral("<question %1 read, but %2 asked>").arg(i).arg(size());
    QTest::qFail(qPrintable(none.prompt), __FILE__, __LINE__);
    return none;
}

ScriptedInteraction::ScriptedInteraction()
{
    InstallInteraction(this);
}

ScriptedInteraction::~ScriptedInteraction()
{
    InstallInteraction(nullptr);
}

int ScriptedInteraction::messageBox(const Question& q)
{
    asked << q;
    if (!m_answers.isEmpty() && std::holds_alternative<int>(m_answers.head()))
        return std::get<int>(m_answers.dequeue());
    unexpected << QStringLiteral("message box: ") + q.prompt;
    switch (ButtonsOf(q.style)) {
    case vbYesNo:
        return vbNo;
    case vbOKCancel:
        return vbCancel;
    default:
        return vbOK;
    }
}

QString ScriptedInteraction::inputBox(const Question& q)
{
    asked << q;
    if (!m_answers.isEmpty() && std::holds_alternative<QString>(m_answers.head()))
        return std::get<QString>(m_answers.dequeue());
    unexpected << QStringLiteral("input box: ") + q.prompt;
    return {};
}

void ScriptedInteraction::showModal(Form& form, const Question& q)
{
    asked << q;
    if (!m_answers.isEmpty() && std::holds_alternative<ModalAnswer>(m_answers.head())) {
        ModalAnswer play = std::get<ModalAnswer>(m_answers.dequeue());
        form.Show();
        play(form);
        if (form.isVisible())
            unexpected << QStringLiteral("modal screen left open: ") + q.screen;
        return;
    }
    unexpected << QStringLiteral("modal screen: ") + q.screen;
}

bool ScriptedInteraction::printerSetup(QPrinter&, const Question& q)
{
    asked << q;
    if (!m_answers.isEmpty() && std::holds_alternative<int>(m_answers.head()))
        return std::get<int>(m_answers.dequeue()) == vbOK;
    unexpected << QStringLiteral("print setup");
    return false;
}
