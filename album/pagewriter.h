#pragma once

#include "picture.h"
#include "runerror.h"

#include <QString>

#include <functional>
#include <vector>

// Writes the pictures of one page into an album folder as P<page>I<slot>.bmp.
//
// Every file is first written whole beside its target, synced, and only when
// all of them are written are they renamed over the old files: a save that
// fails at any point leaves every file of the page as it was, never
// truncated. A picture that came unchanged from a bitmap file is copied as
// it is; any other is converted, so the saved file is a real bitmap whose
// name says so. A slot whose picture is already its own target file is left
// alone.
namespace PageWriter {

struct Slot {
    int slot = 0; // 0..11
    Picture picture;
};

// `progress` runs after each of slots 0..11 (also those not written).
// The error's text names the file that could not be written.
RunError WritePage(const QString& folder, int page, const std::vector<Slot>& pictures,
                   const std::function<void(int slot)>& progress = {});

} // namespace PageWriter
