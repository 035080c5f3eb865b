#pragma once

#include "form.h"
#include "picture.h"

#include <QPrinter>

class PictureBox;
class QPushButton;

// The full-size view: one picture as large as the screen allows, printed on request.
class FrmDisplayPicture final : public Form {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmDisplayPicture)
public:
    FrmDisplayPicture();

    void Form_Load() override;
    // The title-bar close button is Back (nothing while it is a disabled backdrop).
    void CloseByUser() override;

    PictureBox* img1() { return m_img1; }

    // Gives img1 the full-resolution picture behind `shown` (its file, or its
    // full image), sized for this screen; the picture's own size is kept.
    void SetPictureFrom(const Picture& shown);

    void mnuPrintPicture_Click();
    void mnuPrinterSetup_Click();
    void mnuBack_Click();
    void mnuHelp_Click();
    void mnuExit_Click();
    void cmdExit_Click();

    // The printer printing and printer setup use (kept between prints).
    QPrinter& Printer() { return m_printer; }

    QPushButton* cmdExit = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateUnits();
    bool printPicture(QString& problem);

    PictureBox* m_img1 = nullptr;
    QPrinter m_printer{QPrinter::HighResolution};
    bool m_printing = false;
};
