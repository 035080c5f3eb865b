#pragma once

#include <QString>

#include <functional>

class Form;
class QPrinter;

// Message box styles and answers, with the values the screens compare against.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256, // Enter answers the second button (No, Cancel): for questions that cannot be undone
};
enum MsgBoxAnswer : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

inline constexpr int ButtonsOf(int style) { return style & 0x0F; }
inline constexpr int IconOf(int style) { return style & 0x70; }

// Title shown by a message box or input box that has none of its own.
inline const QString DefaultTitle = QStringLiteral("Quillbook");

// A question put to the user. Line breaks in `prompt` are carriage return plus line feed.
struct Question {
    enum class Kind { Message, Input, ModalScreen, PrinterSetup };
    Kind kind = Kind::Message;
    QString prompt;
    int style = vbOKOnly;
    QString title;
    QString defaultText; // input box
    QString screen;      // modal screen: its name
};

// The one seam through which every question, every modal screen and the end
// of the program pass. The program installs the Qt dialogs; tests install a
// scripted stand-in that records each question and answers from a queue.
class Interaction {
public:
    virtual ~Interaction() = default;
    virtual int messageBox(const Question& q) = 0;
    virtual QString inputBox(const Question& q) = 0;
    // Shows the screen and returns once it is hidden or unloaded.
    virtual void showModal(Form& form, const Question& q) = 0;
    // The platform's print-setup dialog; false when the user cancels it.
    virtual bool printerSetup(QPrinter& printer, const Question& q) = 0;
    // Ends the program at once; nothing is saved.
    virtual void endProgram() = 0;
};

// Held while a question or a modal screen is open, whoever answers it.
class QuestionOpen {
public:
    QuestionOpen();
    ~QuestionOpen();
    QuestionOpen(const QuestionOpen&) = delete;
    QuestionOpen& operator=(const QuestionOpen&) = delete;
};
// How many questions are open now (nested ones counted).
int QuestionsOpen();
// Told on the UI thread whenever a question opens (work that must give way to the user).
void WhenQuestionOpens(std::function<void()> told);

// Installs the seam (not owned); nullptr restores the Qt dialogs.
void InstallInteraction(Interaction* seam);
Interaction& CurrentInteraction();

// Returns 1 OK, 2 Cancel, 6 Yes or 7 No.
int MsgBox(const QString& prompt, int style = vbOKOnly, const QString& title = {});
// Returns the text typed, or an empty text on Cancel.
QString InputBox(const QString& prompt, const QString& title = {}, const QString& defaultText = {});
void EndProgram();
// Shows the print-setup dialog for `printer`; false on Cancel.
bool PrinterSetup(QPrinter& printer);

// Turns carriage return plus line feed (and lone carriage returns) into the
// line breaks a Qt label shows.
QString DisplayText(const QString& text);
