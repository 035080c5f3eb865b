#pragma once

// Named steps at which a test may stop the program the hard way, to prove that whatever the
// program leaves behind at that moment is finished or undone at the next start.
// A test sets QUILL_KILL_AT=<step> (SIGKILL) or QUILL_KILL_AT=<step>:TERM (SIGTERM) in a child
// process; without it, KillPoint costs one getenv.
void KillPoint(const char* step);
