#pragma once

// Whether the JPEG decoder warned, on this thread, about damaged data
// (a premature end, corrupt data) since the last reset. Such files still
// decode, partly grey or garbled; the viewer says so instead of showing them
// as if they were whole. Works through the toolkit's warnings, which every
// decode on any thread sends through the process-wide message handler.
void resetDamageReport();
bool damageReported();
// Marks this thread's decode as damaged: for work it handed to other threads,
// whose warnings were reported there.
void reportDamage();
