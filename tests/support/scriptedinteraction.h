#pragma once

#include "interaction.h"

#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>
#include <variant>

// The questions asked, in order. Reading a question that was not asked (an
// index past the end, first() or last() of none) fails the test where it is
// read and answers a question whose prompt says so, instead of reading past
// the end of the list.
class AskedQuestions : public QList<Question> {
public:
    const Question& operator[](qsizetype i) const;
    const Question& at(qsizetype i) const { return (*this)[i]; }
    const Question& first() const { return (*this)[0]; }
    const Question& last() const { return (*this)[size() - 1]; }
    const Question& constFirst() const { return first(); }
    const Question& constLast() const { return last(); }
    const Question& front() const { return first(); }
    const Question& back() const { return last(); }
};

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

    AskedQuestions asked;
    QStringList unexpected;
    int programEnds = 0;
    int pendingAnswers() const { return int(m_answers.size()); }

private:
    QQueue<std::variant<int, QString, ModalAnswer>> m_answers;
};
