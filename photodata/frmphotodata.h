#pragma once

#include "photodataform.h"

class QTimer;

// The photo data screen of the picture the user right-clicked on the page
// screen, over the full-size view as a disabled backdrop. Half a second
// after it loads it looks the picture's records up, or opens a new record.
class FrmPhotoData final : public PhotoDataForm {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmPhotoData)
public:
    FrmPhotoData();

    void Form_Load() override;
    void Form_Unload() override;
    void CloseByUser() override { cmdClose_Click(); }

    void Timer1_Timer();
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();
    void cmdMoveNext_Click();
    void cmdMovePrevious_Click();
    void cmdClose_Click();
    void Command1_Click();
    void cndHelp_Click();

    QPushButton* Command1 = nullptr;
    QPushButton* cndHelp = nullptr;
    QTimer* Timer1 = nullptr;

    QString keyAlbum;
    QString keyPage;
    QString keyImage;

private:
    void FillFields() override;
    PhotoQuery SearchQuery(const QString& text) const override;
    void InitialButtons() override;
    void ShowListingAgain() override;
    void AddOrEdit();
    void NewData();
};
