#pragma once
#include "platform/WindowMessage.h"

/// The game window's procedure: every message goes to the application's
/// event handler first; a size change then resets the view.
/// @return 0 for every message
LResult WindowProcedure(unsigned message, WParam wParam, LParam lParam);

/// Fits the viewport and a 45° perspective projection (near plane 0.1, far
/// plane 50000) to a client area of `width` × `height` pixels, and leaves an
/// identity model-view matrix current. A height of 0 (a minimised window) is
/// taken as 1.
void ResizeView(int width, int height);
