#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

// libjpeg's errors as this program takes them: an error leaves by long jump to the caller's
// setjmp, libjpeg's text kept in `message`; a warning about damaged data is not the user's
// business. Everything libjpeg may jump over belongs to the caller, outside the setjmp.
struct JpegErrors {
    jpeg_error_mgr manager; // first: libjpeg hands this back as the whole
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];

    // The error manager to set as a (de)compress struct's `err`.
    jpeg_error_mgr* Manager()
    {
        jpeg_error_mgr* m = jpeg_std_error(&manager);
        m->error_exit = [](j_common_ptr info) {
            auto* self = reinterpret_cast<JpegErrors*>(info->err);
            (*info->err->format_message)(info, self->message);
            std::longjmp(self->jump, 1);
        };
        m->emit_message = [](j_common_ptr, int) {};
        return m;
    }
};
