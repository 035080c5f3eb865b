#include "program.h"

#include "forms.h"
#include "frmdisplaypicture.h"
#include "frmgetfile.h"
#include "frmphotodata.h"
#include "frmphotodatamain.h"
#include "frmpage1.h"
#include "frmpbar3.h"
#include "frmcover.h"
#include "frmoption1.h"
#include "frmreadme.h"
#include "frmselectalbum1.h"
#include "helpscreen.h"
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
    Forms::Register<FrmSelectAlbum1>(Screen::SelectAlbum1);
    Forms::Register<FrmDisplayPicture>(Screen::DisplayPicture);
    Forms::Register<FrmGetFile>(Screen::GetFile);
    Forms::Register<FrmPhotoData>(Screen::PhotoData);
    Forms::Register<FrmPhotoDataMain>(Screen::PhotoDataMain);
    RegisterHelpScreens();
}

void RunProgram()
{
    Form* readme = Forms::Get(Screen::ReadMe);
    // When the setting started the program from the readme's load, the readme is never shown.
    if (readme && !StartUpHasRun())
        readme->Show();
}
