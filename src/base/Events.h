#pragma once

// Lets pending window events run in the middle of long work (a listing, a transfer, a
// folder walk). Whoever calls it must re-check afterwards what it works on: the
// connection, the row or the window may be gone.
void pumpEvents();
