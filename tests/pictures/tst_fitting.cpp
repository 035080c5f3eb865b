// Picture fitting: the slot grid of the page and the full-size view.
#include "fitting.h"
#include "picturebox.h"
#include "session.h"

#include <QTest>

namespace {

// An element holding a picture whose own size is w by h units.
struct Element {
    PictureBox box;
    Element(float w, float h, int slot)
    {
        if (w > 0 && h > 0) {
            Picture p;
            p.shown = QImage(1, 1, QImage::Format_RGB32);
            p.natural = QSize(int(w), int(h));
            box.SetPicture(p);
        }
        if (slot >= 0 && slot <= 11)
            box.Move(Fitting::SlotLeft(slot), Fitting::SlotTop(slot), Fitting::SlotSide, Fitting::SlotSide);
        else
            box.Move(-200, 0, Fitting::SlotSide, Fitting::SlotSide);
    }
};

} // namespace

class TestFitting : public QObject {
    Q_OBJECT

private slots:
    void slotGrid()
    {
        for (int s : {0, 4, 8})
            QCOMPARE(Fitting::SlotLeft(s), 30.0f);
        for (int s : {3, 7, 11})
            QCOMPARE(Fitting::SlotLeft(s), 354.0f);
        for (int s = 8; s <= 11; ++s)
            QCOMPARE(Fitting::SlotTop(s), 228.0f);
        QCOMPARE(Fitting::SlotLeft(5), 138.0f);
        QCOMPARE(Fitting::SlotTop(5), 126.0f);
    }

    void slotFits_data()
    {
        QTest::addColumn<float>("w");
        QTest::addColumn<float>("h");
        QTest::addColumn<int>("slot");
        QTest::addColumn<float>("left");
        QTest::addColumn<float>("top");
        QTest::addColumn<float>("width");
        QTest::addColumn<float>("height");
        QTest::newRow("worked example, wide in slot 5") << 480.0f << 360.0f << 5 << 138.0f << 136.40625f << 83.25f
                                                         << 62.4375f;
        QTest::newRow("tall in slot 6") << 360.0f << 480.0f << 6 << 256.40625f << 126.0f << 62.4375f << 83.25f;
        QTest::newRow("square keeps its place") << 300.0f << 300.0f << 11 << 354.0f << 228.0f << 83.25f << 83.25f;
        QTest::newRow("tiny grows to the box") << 16.0f << 16.0f << 0 << 30.0f << 24.0f << 83.25f << 83.25f;
        QTest::newRow("very wide") << 1000.0f << 10.0f << 0 << 30.0f << 65.20875f << 83.25f << 0.8325f;
        QTest::newRow("no picture fills the box") << 0.0f << 0.0f << 2 << 246.0f << 24.0f << 83.25f << 83.25f;
        QTest::newRow("spare is sized, not moved") << 480.0f << 360.0f << 12 << -200.0f << 0.0f << 83.25f
                                                   << 62.4375f;
    }
    void slotFits()
    {
        QFETCH(float, w);
        QFETCH(float, h);
        QFETCH(int, slot);
        QFETCH(float, left);
        QFETCH(float, top);
        QFETCH(float, width);
        QFETCH(float, height);
        Element e(w, h, slot);
        FitSlotPicture(e.box, std::int16_t(slot));
        QCOMPARE(e.box.Width(), width);
        QCOMPARE(e.box.Height(), height);
        QCOMPARE(e.box.Left(), left);
        QCOMPARE(e.box.Top(), top);
        QVERIFY(e.box.Stretch());
        QVERIFY(!e.box.isHidden());
    }

    void naturalSizeIsThePicturesOwnNotTheShownPixels()
    {
        PictureBox box;
        box.SetUnitsPerPixel(QSizeF(0.75, 0.75));
        Picture p;
        p.shown = QImage(250, 62, QImage::Format_RGB32); // the slot-sized pixels
        p.natural = QSize(6000, 1500);
        box.SetPicture(p);
        box.SetStretch(false);
        QCOMPARE(box.Width(), 4500.0f);
        QCOMPARE(box.Height(), 1125.0f);
    }

    void viewFits_data()
    {
        QTest::addColumn<float>("picW");
        QTest::addColumn<float>("picH");
        QTest::addColumn<float>("left");
        QTest::addColumn<float>("top");
        QTest::addColumn<float>("width");
        QTest::addColumn<float>("height");
        QTest::newRow("square") << 50.0f << 50.0f << 1.25f << 1.25f << 97.5f << 97.5f;
        QTest::newRow("wide") << 200.0f << 100.0f << 1.25f << 25.625f << 97.5f << 48.75f;
        QTest::newRow("no size") << 0.0f << 0.0f << 1.25f << 1.25f << 97.5f << 97.5f;
        QTest::newRow("no height") << 40.0f << 0.0f << 1.25f << 1.25f << 97.5f << 97.5f;
        const float w = 97.5f * (80.0f / (480.0f / 5.6f));
        QTest::newRow("worked example") << 80.0f << 480.0f / 5.6f << (100.0f - w) / 2.0f << 1.25f << w << 97.5f;
    }
    void viewFits()
    {
        QFETCH(float, picW);
        QFETCH(float, picH);
        QFETCH(float, left);
        QFETCH(float, top);
        QFETCH(float, width);
        QFETCH(float, height);
        session = SessionState{};
        session.picWidth = picW;
        session.picHeight = picH;
        PictureBox img1;
        FitViewPicture(img1);
        QCOMPARE(img1.Width(), width);
        QCOMPARE(img1.Height(), height);
        QCOMPARE(img1.Left(), left);
        QCOMPARE(img1.Top(), top);
    }

    void workedViewExampleRoundsAsTheBookSays()
    {
        session.picWidth = 80.0f;
        session.picHeight = 480.0f / 5.6f; // 85.71
        PictureBox img1;
        FitViewPicture(img1);
        QVERIFY(qAbs(img1.Width() - 91.0f) < 0.01f);
        QVERIFY(qAbs(img1.Left() - 4.5f) < 0.01f);
        // On an 800 by 560 inner area: 728 by 546 pixels, the picture's own 4:3.
        QVERIFY(qAbs(img1.Width() * 8.0f - 728.0f) < 0.1f);
        QVERIFY(qAbs(img1.Height() * 5.6f - 546.0f) < 0.1f);
    }
};

QTEST_MAIN(TestFitting)
#include "tst_fitting.moc"
