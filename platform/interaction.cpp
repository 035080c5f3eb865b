#include "interaction.h"

#include "form.h"

#include <QApplication>
#include <QEventLoop>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>

#include <cstdio>
#include <cstdlib>

namespace {

// The real dialogs: Qt message and input boxes, a local event loop for modal screens.
class QtInteraction final : public Interaction {
public:
    int messageBox(const Question& q) override
    {
        QMessageBox box(iconFor(q.style), q.title, DisplayText(q.prompt), QMessageBox::NoButton,
                        QApplication::activeWindow());
        switch (ButtonsOf(q.style)) {
        case vbOKCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(q.style & vbDefaultButton2 ? QMessageBox::Cancel : QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case vbYesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(q.style & vbDefaultButton2 ? QMessageBox::No : QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        }
        box.exec();
        switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes:
            return vbYes;
        case QMessageBox::No:
            return vbNo;
        case QMessageBox::Ok:
            return vbOK;
        case QMessageBox::Cancel:
            return vbCancel;
        default: // closed without a button: the escape answer
            return ButtonsOf(q.style) == vbYesNo ? vbNo : (ButtonsOf(q.style) == vbOKCancel ? vbCancel : vbOK);
        }
    }

    QString inputBox(const Question& q) override
    {
        bool ok = false;
        const QString text = QInputDialog::getText(QApplication::activeWindow(), q.title, DisplayText(q.prompt),
                                                   QLineEdit::Normal, q.defaultText, &ok);
        return ok ? text : QString();
    }

    void showModal(Form& form, const Question&) override
    {
        QPointer<Form> guard(&form);
        QEventLoop loop;
        QObject::connect(&form, &Form::hidden, &loop, &QEventLoop::quit);
        QObject::connect(&form, &QObject::destroyed, &loop, &QEventLoop::quit);
        form.setWindowModality(Qt::ApplicationModal);
        form.Show();
        if (guard && guard->isVisible())
            loop.exec();
        if (guard)
            guard->setWindowModality(Qt::NonModal);
    }

    bool printerSetup(QPrinter& printer, const Question&) override
    {
        QPrintDialog dialog(&printer, QApplication::activeWindow());
        dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
        return dialog.exec() == QDialog::Accepted;
    }

    void endProgram() override
    {
        // "At once": no window is closed and nothing is saved. Settings are
        // written through when saved, so nothing is pending here.
        std::fflush(nullptr);
        std::_Exit(0);
    }

private:
    static QMessageBox::Icon iconFor(int style)
    {
        switch (IconOf(style)) {
        case vbCritical:
            return QMessageBox::Critical;
        case vbQuestion:
            return QMessageBox::Question;
        case vbExclamation:
            return QMessageBox::Warning;
        case vbInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
        }
    }
};

Interaction* installed = nullptr;
int questionsOpen = 0;
std::function<void()> questionOpens;

QString titleOrDefault(const QString& title)
{
    return title.isEmpty() ? DefaultTitle : title;
}

} // namespace

QuestionOpen::QuestionOpen()
{
    ++questionsOpen;
    if (questionOpens)
        questionOpens();
}

QuestionOpen::~QuestionOpen()
{
    --questionsOpen;
}

int QuestionsOpen()
{
    return questionsOpen;
}

void WhenQuestionOpens(std::function<void()> told)
{
    questionOpens = std::move(told);
}

void InstallInteraction(Interaction* seam)
{
    installed = seam;
}

Interaction& CurrentInteraction()
{
    static QtInteraction real;
    return installed ? *installed : real;
}

int MsgBox(const QString& prompt, int style, const QString& title)
{
    Question q;
    q.kind = Question::Kind::Message;
    q.prompt = prompt;
    q.style = style;
    q.title = titleOrDefault(title);
    const QuestionOpen open;
    return CurrentInteraction().messageBox(q);
}

QString InputBox(const QString& prompt, const QString& title, const QString& defaultText)
{
    Question q;
    q.kind = Question::Kind::Input;
    q.prompt = prompt;
    q.style = vbOKCancel;
    q.title = titleOrDefault(title);
    q.defaultText = defaultText;
    const QuestionOpen open;
    return CurrentInteraction().inputBox(q);
}

void EndProgram()
{
    CurrentInteraction().endProgram();
}

bool PrinterSetup(QPrinter& printer)
{
    Question q;
    q.kind = Question::Kind::PrinterSetup;
    q.title = QStringLiteral("Printer Setup");
    const QuestionOpen open;
    return CurrentInteraction().printerSetup(printer, q);
}

QString DisplayText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}
