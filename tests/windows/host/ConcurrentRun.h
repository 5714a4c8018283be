// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Runs two calls on two new threads at the same time and waits for both; false when a thread could not be
// started. The only place where the check host starts threads: CreateThread on Windows (the mingw runtime has
// no std::thread), std::thread elsewhere.
bool RunConcurrently(void (*task)(void* argument), void* first, void* second);

// Gives the rest of the calling thread's time slice to other threads (for short waits on a shared flag).
void LetOthersRun();
