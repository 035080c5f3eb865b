#pragma once

#include <QString>

// The screens' names, as registered with Forms.
namespace Screen {
inline const QString Cover = QStringLiteral("frmCover");
inline const QString Option1 = QStringLiteral("frmOption1");
inline const QString ReadMe = QStringLiteral("frmReadMe");
inline const QString ReadMeAgain = QStringLiteral("frmReadMeAgain");
inline const QString Page1 = QStringLiteral("frmPage1");
inline const QString Pbar3 = QStringLiteral("frmPbar3");
inline const QString SelectAlbum1 = QStringLiteral("frmSelectAlbum1");
inline const QString GetFile = QStringLiteral("frmGetFile");
inline const QString DisplayPicture = QStringLiteral("frmDisplayPicture");
inline const QString PhotoDataMain = QStringLiteral("frmPhotoDataMain");
inline const QString PhotoData = QStringLiteral("frmPhotoData");
inline const QString OptionHelp = QStringLiteral("frmOptionHelp");
inline const QString PageHelp0 = QStringLiteral("frmPageHelp0");
inline const QString SelectAlbumHelp0 = QStringLiteral("frmSelectAlbumHelp0");
inline const QString DisplayPictureHelp0 = QStringLiteral("frmDisplayPictureHelp0");
} // namespace Screen

// Names of the program folder's fixed contents.
namespace ProgramFiles {
inline const QString SuppliedAlbum = QStringLiteral("Wren Photo Album");
inline const QString EmptyPicture = QStringLiteral("Empty.bmp");
inline const QString PhotoDatabase = QStringLiteral("PhotoData.mdb");
inline const QString AppName = QStringLiteral("Quillbook");
} // namespace ProgramFiles
