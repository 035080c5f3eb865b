#include "sharedprocs.h"

#include "forms.h"
#include "interaction.h"
#include "screennames.h"

QString ConfirmExitPrompt()
{
    return QStringLiteral("Are you sure that you want to exit the program !!!\r\n"
                          "         If you changed the pictures and\r\n"
                          "If you did not save the Album the data will be lost.");
}

void ConfirmExit()
{
    // Yes ends the program once every screen may go: a changed page is offered for saving first.
    if (MsgBox(ConfirmExitPrompt(), vbYesNo + vbCritical, QStringLiteral("WARNING")) == vbYes && Forms::QueryUnloadAll())
        EndProgram();
}

void HideCover()
{
    Forms::Hide(Screen::Cover);
}
