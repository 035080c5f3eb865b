#pragma once

#include <QString>

#include <array>
#include <cstdint>

class PhotoEngine;
class PhotoDatabase;
class PhotoRecordset;

// The program-wide variables every screen reads and writes directly.
// Types follow their meaning: integer 16-bit, long 32-bit, single float.
struct SessionState {
    // Program and folders
    QString appPath;
    QString startPath;
    QString appDrive;
    std::int16_t suppliedAlbumPresent = 0;

    // Open album
    QString albumName;
    QString albumFolderName;
    QString albumFilePrefix;
    std::int16_t albumAttr = 0;

    // Page and slot
    QString pageNr = QStringLiteral("1");
    QString goToPageNr;
    QString pageFilePrefix;
    std::int16_t imageNr = 0;
    std::int16_t viewFromPage = 0;
    float picWidth = 0;
    float picHeight = 0;

    // Editing and saving
    std::int16_t albumChanged = 0;
    std::int16_t deleteCancelled = 0;
    std::int16_t pageHasPictures = 0;
    QString newAlbumName;
    QString saveAlbumName;
    std::array<QString, 11> pagePaths{};
    std::int32_t savePageAnswer = 0;
    QString saveAlbumAnswer;
    std::int32_t saveAlbumResult = 0;
    QString deletePictureAnswer;

    // Photo data: handles shared by the browser and album deletion (not owned here).
    PhotoEngine* DBEngine = nullptr;
    PhotoDatabase* dbPhoto = nullptr;
    PhotoRecordset* rsPhoto = nullptr;
    std::int16_t photoRecCount = 0;
    std::int32_t photoDataAnswer = 0;
};

// The one session of this run. Tests reset it with `session = SessionState{}`.
extern SessionState session;
