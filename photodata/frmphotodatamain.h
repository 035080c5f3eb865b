#pragma once

#include "photodataform.h"

// The photo data browser over the notes of all albums, opened from the
// options screen: browse, search, add, edit, delete, and view a note's picture.
class FrmPhotoDataMain final : public PhotoDataForm {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmPhotoDataMain)
public:
    FrmPhotoDataMain();

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;
    void CloseByUser() override { cmdClose_Click(); }

    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();
    void cmdMoveNext_Click();
    void cmdMovePrevious_Click();
    void cmdView_Click();
    void cmdClose_Click();
    void cmdExit_Click();
    void CmdHelp_Click();

    QPushButton* cmdView = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* CmdHelp = nullptr;

private:
    void FillFields() override;
    PhotoQuery SearchQuery(const QString& text) const override;
    void InitialButtons() override;
    void AddOrEdit();
    // Gives the options screen back: enabled, its button shown.
    void GiveBackOptions(bool show);

    bool m_loaded = false;
};
