#include "WindowProcedure.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "VantrelApp.h"

LResult WindowProcedure(unsigned message, WParam wParam, LParam lParam) {
    VantrelApp::Instance().GetEventHandler().HandleMessage(message, wParam, lParam);
    // WM_DESTROY needs nothing more: the handler's quit event ends the loop.
    if (message == WM_SIZE) ResizeView(static_cast<int>(LoWord(lParam)), static_cast<int>(HiWord(lParam)));
    return 0;
}

void ResizeView(int width, int height) {
    if (height == 0) height = 1;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, 0, width, height);
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), 0.1, 50000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
