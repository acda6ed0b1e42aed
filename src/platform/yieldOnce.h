#pragma once

/// Lets the event loop turn once while a long command is on the stack: repaints, input and the
/// Abort button are handled here. Every place the program yields goes through this one
/// function, so what may run at a yield is decided in one place.
void yieldOnce();
