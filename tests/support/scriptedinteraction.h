#pragma once

#include "interaction.h"

#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>
#include <variant>

// Stands in for the user: records every question (prompt, buttons, icon,
// title) and answers from a queue. A question with no answer queued, or of
// another kind than the answer, is recorded as unexpected; tests check
// `unexpected` (TestProgram does so when it ends).
class ScriptedInteraction final : public Interaction {
public:
    using ModalAnswer = std::function<void(Form&)>;

    ScriptedInteraction();
    ~ScriptedInteraction() override;

    void answerButton(int button) { m_answers.enqueue(button); }
    void answerText(const QString& text) { m_answers.enqueue(text); }
    // A print-setup dialog is answered with vbOK or vbCancel (answerButton).
    // The function plays the user on the modal screen; it must hide the screen.
    void answerModal(ModalAnswer play) { m_answers.enqueue(std::move(play)); }

    int messageBox(const Question& q) override;
    QString inputBox(const Question& q) override;
    void showModal(Form& form, const Question& q) override;
    bool printerSetup(QPrinter& printer, const Question& q) override;
    void endProgram() override { ++programEnds; }

    QList<Question> asked;
    QStringList unexpected;
    int programEnds = 0;
    int pendingAnswers() const { return int(m_answers.size()); }

private:
    QQueue<std::variant<int, QString, ModalAnswer>> m_answers;
};
