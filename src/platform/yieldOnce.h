#pragma once

/// Lets the event loop turn once while a long command is on the stack: repaints, input and the
/// Abort button are handled here. Every place the program yields goes through this one
/// function, so what may run at a yield is decided in one place. What the turn asked for (a
/// repaint, a layout) is done within it. A turn that took long (it repainted, or waited for a
/// processor) is followed at once by a second one, so that what came in during it does not
/// also wait for the command's next stretch of work.
void yieldOnce();
