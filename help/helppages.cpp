// The thirteen help pages in their five chains.
#include "forms.h"
#include "helpscreen.h"
#include "screennames.h"

#include <QStringList>

namespace {

// A heading, quoted exactly, then its paragraph.
QString item(const QString& heading, const QString& text = {})
{
    QString html = QStringLiteral("<p><b>") + heading.toHtmlEscaped() + QStringLiteral("</b>");
    if (!text.isEmpty())
        html += QStringLiteral(" ") + text.toHtmlEscaped();
    return html + QStringLiteral("</p>");
}

QString title(const QString& heading)
{
    return QStringLiteral("<h3 style='color:#16324f'>") + heading.toHtmlEscaped() + QStringLiteral("</h3>");
}

QString steps(const QStringList& lines)
{
    QString html = QStringLiteral("<ol>");
    for (const QString& line : lines)
        html += QStringLiteral("<li>") + line.toHtmlEscaped() + QStringLiteral("</li>");
    return html + QStringLiteral("</ol>");
}

QString paragraph(const QString& text)
{
    return QStringLiteral("<p>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

void add(const HelpPageDesign& design)
{
    Forms::Register(design.name, [design] { return std::make_unique<HelpScreen>(design); });
}

HelpPageDesign page(const QString& name, const QString& caption, const QString& previous, const QString& next,
                  const QString& html)
{
    HelpPageDesign s;
    s.name = name;
    s.caption = caption;
    s.previous = previous;
    s.next = next;
    s.html = html;
    return s;
}

void registerPageChain()
{
    const QString t = QStringLiteral("Page Help          page %1 of 6");
    HelpPageDesign p0 = page(Screen::PageHelp0, t.arg(1), {}, QStringLiteral("frmPageHelp1"),
        title(QStringLiteral("Page Discription:")) +
        paragraph(QStringLiteral("The album page shows one page of an album: twelve pictures, four to a row. An album has "
                                 "ten pages; the Menu chooses a page, and Page Down and Page Up step through them. The File "
                                 "menu keeps, deletes and leaves albums; the Edit menu adds, deletes, copies and pastes "
                                 "pictures. A new page, or a page you changed, must be saved or the changes are lost.")) +
        title(QStringLiteral("General Procedures:")) +
        item(QStringLiteral("To view a full sized picture:"), QStringLiteral("click the picture with the left mouse button.")) +
        item(QStringLiteral("To view a pictures photo data:"),
             QStringLiteral("click the picture with the right mouse button.")) +
        item(QStringLiteral("With the keyboard:"),
             QStringLiteral("Tab moves a ring to the pictures, the arrow keys move it from picture to picture; Return "
                            "does what a left click does, the Menu key or Shift+F10 what a right click does. Left and "
                            "Right turn the pages while no picture has the ring.")) +
        item(QStringLiteral("To save the page to memory:"), QStringLiteral("click File, then Save Page to Disk.")) +
        item(QStringLiteral("To delete a album from memory:"), QStringLiteral("click File, then Delete Album from Disk.")));
    p0.activateDisablesPrevious = true;
    add(p0);

    add(page(QStringLiteral("frmPageHelp1"), t.arg(2), QStringLiteral("frmPageHelp0"), QStringLiteral("frmPageHelp2"),
        title(QStringLiteral("General Procedures Continued:")) + item(QStringLiteral("To Add a Picture to a Album:")) +
        steps({QStringLiteral("Click Edit, then Add Picture from a Disk File."),
               QStringLiteral("Pick the drive that holds the picture."),
               QStringLiteral("Pick the folder that holds the picture."),
               QStringLiteral("Pick the kind of picture file you are looking for."),
               QStringLiteral("Click a file name to see the picture in the preview."),
               QStringLiteral("Click the preview, or double-click the file name, to choose the picture. To choose "
                              "several, hold Ctrl or Shift as you click the names (Ctrl+A chooses all), then OK."),
               QStringLiteral("Click the blank where you want the picture to appear. Several pictures fill it and "
                              "the blanks after it; when they do not fit, you are asked whether to save the page "
                              "and go on with the next one.")})));

    add(page(QStringLiteral("frmPageHelp2"), t.arg(3), QStringLiteral("frmPageHelp1"), QStringLiteral("frmPageHelp3"),
        item(QStringLiteral("To Delete a picture from a album:")) +
        steps({QStringLiteral("Click Edit, then Delete Picture from the Album."),
               QStringLiteral("Click the picture you want to delete and answer the question.")}) +
        item(QStringLiteral("Copy a Picture to the Clipboard:")) +
        steps({QStringLiteral("Click Edit, then Copy Picture to the Clipboard."), QStringLiteral("Click the picture.")}) +
        item(QStringLiteral("Paste Picture from the Clipboard:")) +
        steps({QStringLiteral("Click Edit, then Paste Picture from the Clipboard."),
               QStringLiteral("Click the blank where you want the picture to appear.")}) +
        item(QStringLiteral("Drop a Picture from another program:"),
             QStringLiteral("drag a picture file onto a blank; several files fill the blanks after it. "
                            "Save the page to keep them.")) +
        title(QStringLiteral("Menu Controls:")) +
        item(QStringLiteral("<- -Page Down:"), QStringLiteral("shows the page before this one."))));

    add(page(QStringLiteral("frmPageHelp3"), t.arg(4), QStringLiteral("frmPageHelp2"), QStringLiteral("frmPageHelp4"),
        title(QStringLiteral("Menu Controls Continued:")) +
        item(QStringLiteral("Options:"), QStringLiteral("goes back to the Options page and closes this album; if you "
                                                        "changed the page, you are asked whether to save it first.")) +
        item(QStringLiteral("Select New Album:"), QStringLiteral("goes to the list of stored albums; if you changed "
                                                                 "the page, you are asked whether to save it first.")) +
        item(QStringLiteral("Save Page to Disk:"),
             QStringLiteral("saves the pictures of this page under an album name. A picture added from a photo file "
                            "is kept as that file, byte for byte, in its own format (JPEG, HEIC, PNG, ...) with its "
                            "date, place and colours, under the slot's name (P3I5.bmp is page 3, picture 5); a pasted "
                            "picture is kept as a bitmap.")) +
        item(QStringLiteral("Delete Album from Disk:"), QStringLiteral("deletes this album, its pictures and their photo data.")) +
        item(QStringLiteral("Minimize to the Taskbar:"), QStringLiteral("puts the program aside on the taskbar.")) +
        item(QStringLiteral("Exit Program:"), QStringLiteral("ends the program after you confirm."))));

    add(page(QStringLiteral("frmPageHelp4"), t.arg(5), QStringLiteral("frmPageHelp3"), QStringLiteral("frmPageHelp5"),
        title(QStringLiteral("Menu Controls Continued:")) +
        item(QStringLiteral("Add Picture from a Disk File:"), QStringLiteral("puts a picture from a file into a blank.")) +
        item(QStringLiteral("Delete Picture from the Album:"),
             QStringLiteral("removes a picture, its file and its photo data.")) +
        item(QStringLiteral("Copy Picture to the Clipboard:"),
             QStringLiteral("copies a picture so another program can use it.")) +
        item(QStringLiteral("Paste Picture from the Clipboard:"),
             QStringLiteral("puts a copied or scanned picture into a blank."))));

    HelpPageDesign p5 = page(QStringLiteral("frmPageHelp5"), t.arg(6), QStringLiteral("frmPageHelp4"), {},
        title(QStringLiteral("Menu Controls Continued:")) +
        item(QStringLiteral("Page Up - ->:"), QStringLiteral("shows the page after this one.")) +
        item(QStringLiteral("Help:"), QStringLiteral("shows these help pages.")) +
        item(QStringLiteral("Page 1 through Page 10:"),
             QStringLiteral("shows the page you choose; the check mark shows the active page.")));
    p5.activateDisablesNext = true;
    add(p5);
}

void registerOptionsChain()
{
    const QString t = QStringLiteral("Options Help          page %1 of 2");
    const QString exitTip = QStringLiteral("Exit the help page and go back to the option page.");
    HelpPageDesign o0 = page(Screen::OptionHelp, t.arg(1), {}, QStringLiteral("frmOptionHelp1"),
        paragraph(QStringLiteral("To choose an option, select it and press the green button, or double-click the option.")) +
        title(QStringLiteral("Option Discription")) +
        item(QStringLiteral("Wren Photo Album:"),
             QStringLiteral("opens the demo album that comes with the program. It is read-only, so its pictures cannot "
                            "be changed. To make an album of your own, choose Create New Album and save its pages.")) +
        item(QStringLiteral("Stored Albums:"), QStringLiteral("lists the albums you have saved, so you can open one.")));
    o0.nextTip = QStringLiteral("Go to the next option help page.");
    o0.exitTip = exitTip;
    o0.optionsHelp = true;
    o0.activateDisablesPrevious = true;
    add(o0);

    HelpPageDesign o1 = page(QStringLiteral("frmOptionHelp1"), t.arg(2), QStringLiteral("frmOptionHelp"), {},
        title(QStringLiteral("Option Discription")) +
        item(QStringLiteral("Create New Album:"),
             QStringLiteral("opens empty pages for a new album; it gets its name when you save its first page.")) +
        item(QStringLiteral("Photo Data:"),
             QStringLiteral("shows the notes of all albums: the date and description of each picture, with a search.")));
    o1.previousTip = QStringLiteral("Go to the previous option help page.");
    o1.exitTip = exitTip;
    o1.optionsHelp = true;
    o1.activateGreensPrevious = true;
    o1.activateDisablesNext = true;
    add(o1);
}

void registerSinglePages()
{
    HelpPageDesign list = page(Screen::SelectAlbumHelp0, QStringLiteral("Select Album  Help          page 1 of 1"),
        {}, {},
        paragraph(QStringLiteral("To open a stored album, double-click its name, or click its name and then Select.")) +
        paragraph(QStringLiteral("Options goes back to the Options page.")));
    list.designDisablesPrevious = list.designDisablesNext = true;
    list.designRed = 192;
    add(list);

    HelpPageDesign view = page(Screen::DisplayPictureHelp0,
        QStringLiteral("Display Picture  Help          page 1 of 1"), {}, {},
        paragraph(QStringLiteral("This page shows the full sized picture of the thumbnail that you had selected.")) +
        title(QStringLiteral("Menu Controls:")) + item(QStringLiteral("File:")) +
        item(QStringLiteral("Printer Setup:"), QStringLiteral("chooses the printer and its settings.")) +
        item(QStringLiteral("Print Picture:"),
             QStringLiteral("prints the picture; the page is turned to suit the picture automatically.")) +
        item(QStringLiteral("Exit Program:"), QStringLiteral("ends the program after you confirm.")) +
        item(QStringLiteral("Back:"), QStringLiteral("goes back to the page of the picture shown, or where you came from.")) +
        title(QStringLiteral("Keys:")) +
        item(QStringLiteral("Right, Page Down:"),
             QStringLiteral("show the next picture of the album, on the next page if need be (empty places are "
                            "skipped; a changed page asks first whether to save it). The mouse wheel does the same.")) +
        item(QStringLiteral("Left, Page Up:"), QStringLiteral("show the previous picture of the album.")) +
        item(QStringLiteral("Home, End:"), QStringLiteral("show the album's first and last picture.")) +
        item(QStringLiteral("I:"), QStringLiteral("hides the line that names the album, page and picture, with the "
                                                 "picture's note, and shows it again.")) +
        item(QStringLiteral("+, -:"), QStringLiteral("make the picture larger or smaller, about the mouse pointer when it "
                                                    "is over the picture, else about the middle. Ctrl with the mouse "
                                                    "wheel does the same about the pointer.")) +
        item(QStringLiteral("1:"), QStringLiteral("shows the picture's actual pixels, one picture pixel on one screen pixel.")) +
        item(QStringLiteral("0:"), QStringLiteral("fits the picture to the screen again. A double click switches between "
                                                 "fitted and actual pixels.")) +
        item(QStringLiteral("Arrow keys, dragging:"),
             QStringLiteral("move a zoomed picture about; while it is zoomed, Left and Right move it instead of showing "
                            "another picture, and the mouse wheel scrolls it. Another picture is shown fitted.")) +
        item(QStringLiteral("Space:"), QStringLiteral("starts a slide show: the next picture every 4 seconds, across "
                                                     "pages, until the album's last picture; Space again stops it. "
                                                     "Any other key or a click only stops it. When the next picture "
                                                     "is on another page and this page has changes not saved, the "
                                                     "show stops and asks whether to save them.")) +
        item(QStringLiteral("+, - (during a slide show):"),
             QStringLiteral("show the pictures faster or slower (1 to 15 seconds each); the line over the picture "
                            "says the pace, which is kept until the program ends.")) +
        item(QStringLiteral("Esc:"), QStringLiteral("asks whether to end the program (and stops a slide show).")) +
        paragraph(QStringLiteral("A picture shown from the photo data is shown on its own.")));
    view.designDisablesPrevious = view.designDisablesNext = true;
    add(view);
}

void registerPhotoDataChain()
{
    const QString t = QStringLiteral("Photo Data Help          page %1 of 3");
    const QString previousTip = QStringLiteral("This button will take you to the previous help page.");
    HelpPageDesign d0 = page(QStringLiteral("frmPhotoDataHelp0"), t.arg(1), {}, QStringLiteral("frmPhotoDataHelp1"),
        title(QStringLiteral("Page Discription:")) +
        paragraph(QStringLiteral("The photo data pages show the notes kept about each picture. The program fills in the "
                                 "album name, the page and the image number; you type the date and the description. Both "
                                 "are required: type a space if you have nothing to say. Found tells how many records "
                                 "there are. Records are sorted by album name, page and image.")) +
        title(QStringLiteral("Command Buttons:")) +
        item(QStringLiteral("< Move Previous:"), QStringLiteral("shows the record before this one.")) +
        item(QStringLiteral("Move Next >:"), QStringLiteral("shows the record after this one.")));
    d0.activateDisablesPrevious = true;
    add(d0);

    HelpPageDesign d1 = page(QStringLiteral("frmPhotoDataHelp1"), t.arg(2), QStringLiteral("frmPhotoDataHelp0"),
        QStringLiteral("frmPhotoDataHelp2"),
        title(QStringLiteral("Command Buttons Continued:")) +
        item(QStringLiteral("Add:"), QStringLiteral("starts a new record.")) +
        item(QStringLiteral("View Picture:"), QStringLiteral("shows the record's picture full size.")) +
        item(QStringLiteral("Save:"), QStringLiteral("keeps the record as it is on screen.")) +
        item(QStringLiteral("Cancel:"), QStringLiteral("drops the changes you have not saved.")) +
        item(QStringLiteral("Delete:"), QStringLiteral("removes the record after you confirm.")));
    d1.previousTip = previousTip;
    add(d1);

    HelpPageDesign d2 = page(QStringLiteral("frmPhotoDataHelp2"), t.arg(3), QStringLiteral("frmPhotoDataHelp1"), {},
        title(QStringLiteral("Command Buttons Continued:")) +
        item(QStringLiteral("Find:"),
             QStringLiteral("searches the descriptions for a word, part of a word or a phrase.")) +
        item(QStringLiteral("Close:"), QStringLiteral("leaves the photo data.")) +
        item(QStringLiteral("Help:"), QStringLiteral("shows these help pages.")) +
        item(QStringLiteral("Exit Program:"), QStringLiteral("ends the program after you confirm.")) +
        paragraph(QStringLiteral("Remember to press Save, or your changes are not kept.")));
    d2.previousTip = previousTip;
    d2.designDisablesNext = true;
    add(d2);
}

} // namespace

void RegisterHelpScreens()
{
    registerPageChain();
    registerOptionsChain();
    registerSinglePages();
    registerPhotoDataChain();
}
