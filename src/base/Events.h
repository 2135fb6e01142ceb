#pragma once

// Lets pending window events run in the middle of long work (a listing, a transfer, a
// folder walk). Whoever calls it must re-check afterwards what it works on: the
// connection, the row or the window may be gone.
void pumpEvents();

// How deep the caller is in nested event processing: the event loops under way (a blocking call
// waiting for the server, a modal box) and the pumps. Code run by an event delivered while other
// code waits sees a greater number than the code that waits.
int eventNesting();
