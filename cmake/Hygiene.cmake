# Warnings and strict Qt defines for every target of ours.
add_library(quill_hygiene INTERFACE)
target_compile_options(quill_hygiene INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(quill_hygiene INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_URL_CAST_FROM_STRING
    QT_DISABLE_DEPRECATED_UP_TO=0x060400)

option(QUILL_SANITIZE "Build with address and undefined-behaviour sanitizers" OFF)
if(QUILL_SANITIZE)
    target_compile_options(quill_hygiene INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
    target_link_options(quill_hygiene INTERFACE -fsanitize=address,undefined)
endif()
