#pragma once

#include "interaction.h"
#include "pagereadahead.h"

#include <functional>

// The number of pictures the read-ahead started while a question stayed open,
// `meanwhile` being the time the user takes to answer; `back` is the seam to put back.
inline int PicturesStartedDuringAQuestion(const std::function<void()>& meanwhile, Interaction& back)
{
    struct SlowQuestion final : Interaction {
        std::function<void()> wait;
        int started = -1;
        int messageBox(const Question&) override
        {
            const int before = PageReadAhead::Instance().PicturesStarted();
            wait();
            started = PageReadAhead::Instance().PicturesStarted() - before;
            return vbOK;
        }
        QString inputBox(const Question&) override { return {}; }
        void showModal(Form&, const Question&) override {}
        bool printerSetup(QPrinter&, const Question&) override { return false; }
        void endProgram() override {}
    } slow;
    slow.wait = meanwhile;
    InstallInteraction(&slow);
    MsgBox(QStringLiteral("Still there?"));
    InstallInteraction(&back);
    return slow.started;
}
