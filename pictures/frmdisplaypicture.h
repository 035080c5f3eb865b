#pragma once

#include "albumsteps.h"
#include "form.h"
#include "picture.h"

#include <QPointer>
#include <QPrinter>

#include <memory>

class PictureBox;
class SlideShow;
class ViewReadAhead;
class QLabel;
class QPushButton;
class ZoomPane;
class QTimer;

// The full-size view: one picture as large as the screen allows, printed on request.
class FrmDisplayPicture final : public Form {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmDisplayPicture)
public:
    FrmDisplayPicture();
    ~FrmDisplayPicture() override;

    void Form_Load() override;
    // The title-bar close button is Back (nothing while it is a disabled backdrop).
    void CloseByUser() override;

    PictureBox* img1() { return m_img1; }
    // The picture while zoomed (+, -, 1, 0, Ctrl+wheel, a double click).
    ZoomPane* zoom() { return m_zoom; }

    // Gives img1 the full-resolution picture behind `shown` (its file, or its
    // full image), sized for this screen; the picture's own size is kept.
    void SetPictureFrom(const Picture& shown);
    // Shows `slot` of the page on screen, fitted, and steps through `album` from there (the
    // page screen hands itself in; `owner` is the object behind it, so a gone page screen is
    // never reached). A view shown any other way shows its one picture.
    void ShowAlbumPicture(AlbumOnView& album, QObject* owner, int slot);
    // The next, previous, first or last picture of the album; across pages through the page
    // screen's own page change. Nothing happens when the view was not opened from the page screen.
    void StepTo(AlbumSteps::Step step);
    // I: hides the line over the picture, or shows it again.
    void ToggleLine();
    // What the line over the picture says (also the view's accessible description).
    QString LineText() const;
    bool LineShown() const;

    void mnuPrintPicture_Click();
    void mnuPrinterSetup_Click();
    void mnuBack_Click();
    void mnuHelp_Click();
    void mnuExit_Click();
    void cmdExit_Click();

    // The slide show (Space) and the read-ahead of the pictures next to the one shown; both
    // live in frmdisplaypictureshow.cpp.
    SlideShow& Slides();
    ViewReadAhead& ReadAhead();
    // Shows `text` in the line over the picture for a moment (the slide show's pace).
    void Notice(const QString& text);

    // The printer printing and printer setup use (kept between prints).
    QPrinter& Printer() { return m_printer; }

    QPushButton* cmdExit = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Right/Page Down and Left/Page Up step, Home and End go to the first and last picture, I the line;
    // the zoom's keys (+ - 1 0, and the arrows while zoomed) go to the zoom first.
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void updateUnits();
    void fitPicture(const Picture& shown);
    void describe(const QString& line);
    AlbumOnView* album() const;
    bool printPicture(QString& problem);
    QSize viewBox() const;
    bool slideStep();
    void readAheadFrom(AlbumOnView& walk, AlbumSteps::Place place);

    PictureBox* m_img1 = nullptr;
    ZoomPane* m_zoom = nullptr;
    QPrinter m_printer{QPrinter::HighResolution};
    bool m_printing = false;
    QLabel* m_line = nullptr;
    bool m_lineWanted = true;
    AlbumOnView* m_album = nullptr;
    QPointer<QObject> m_albumOwner;
    int m_wheel = 0; // wheel turn not yet spent on a step
    SlideShow* m_slides = nullptr;
    std::unique_ptr<ViewReadAhead> m_readAhead;
    QString m_description; // what the line says when no notice is on it
    QTimer* m_noticeEnd = nullptr;
};
