#include "albumguard.h"

#include "albumpaths.h"
#include "fileops.h"
#include "interaction.h"
#include "screennames.h"
#include "session.h"

namespace {
constexpr int Protected = Files::Directory | Files::ReadOnly;
} // namespace

void CheckSuppliedAlbum()
{
    session.albumAttr = 0;
    if (session.albumName == ProgramFiles::SuppliedAlbum) {
        const Files::Attributes attributes =
            Files::GetAttr(AlbumPaths::InProgramFolder(session.appPath, ProgramFiles::SuppliedAlbum));
        session.albumAttr = std::int16_t(attributes.value);
    }
}

void ShowSuppliedAlbumReadOnly()
{
    MsgBox(QStringLiteral("   Supplied Album, Wren Photo Album\r\n"
                          "              is a Read only File\r\n"
                          "and you must change the Folder and File\r\n"
                          "             Attributes MANUALLY\r\n"
                          "      in order to enable Album changes"),
           vbOKOnly | vbInformation, QStringLiteral("WARNING"));
}

bool SuppliedAlbumRefuses()
{
    CheckSuppliedAlbum();
    if (session.albumAttr != Protected)
        return false;
    ShowSuppliedAlbumReadOnly();
    return true;
}
