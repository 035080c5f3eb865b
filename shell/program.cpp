#include "program.h"

#include "forms.h"
#include "frmpage1.h"
#include "frmpbar3.h"
#include "frmcover.h"
#include "frmoption1.h"
#include "frmreadme.h"
#include "screennames.h"
#include "startup.h"

void RegisterScreens()
{
    Forms::Register<FrmCover>(Screen::Cover);
    Forms::Register<FrmOption1>(Screen::Option1);
    Forms::Register<FrmReadMe>(Screen::ReadMe);
    Forms::Register<FrmReadMeAgain>(Screen::ReadMeAgain);
    Forms::Register<FrmPage1>(Screen::Page1);
    Forms::Register<FrmPbar3>(Screen::Pbar3);
}

void RunProgram()
{
    Form* readme = Forms::Get(Screen::ReadMe);
    // When the setting started the program from the readme's load, the readme is never shown.
    if (readme && !StartUpHasRun())
        readme->Show();
}
