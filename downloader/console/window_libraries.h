#pragma once

#include <string>
#include <vector>

// GLEW before any other OpenGL header; X11 last, for its macros.
#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

// The window's libraries (freeglut, GLEW, OpenGL with GLX, X11) are loaded
// with dlopen when a window is first opened, so that the program starts, and
// runs in a terminal, where they are missing. Their headers give only the
// types: every call goes through this table.

namespace pat {

#define PAT_FREEGLUT_ENTRIES(X)                                                                 \
  X(glutInit) X(glutSetOption) X(glutInitDisplayMode) X(glutInitWindowSize) X(glutCreateWindow) \
  X(glutDestroyWindow) X(glutExit) X(glutMainLoopEvent) X(glutPostRedisplay) X(glutReshapeWindow) \
  X(glutSwapBuffers) X(glutGetModifiers) X(glutDisplayFuncUcall) X(glutReshapeFuncUcall)         \
  X(glutKeyboardFuncUcall) X(glutKeyboardUpFuncUcall) X(glutSpecialFuncUcall)                    \
  X(glutSpecialUpFuncUcall) X(glutCloseFuncUcall)

#define PAT_GLEW_ENTRIES(X) X(glewInit)

#define PAT_GL_ENTRIES(X)                                                                        \
  X(glBegin) X(glBindTexture) X(glClear) X(glClearColor) X(glDeleteTextures) X(glDisable)        \
  X(glEnable) X(glEnd) X(glGenTextures) X(glGetIntegerv) X(glLoadIdentity) X(glMatrixMode)       \
  X(glOrtho) X(glPixelStorei) X(glTexCoord2f) X(glTexEnvi) X(glTexImage2D) X(glTexParameteri)    \
  X(glTexSubImage2D) X(glVertex2i) X(glViewport) X(glXChooseVisual) X(glXGetCurrentDisplay)      \
  X(glXGetCurrentDrawable) X(glXQueryExtension)

#define PAT_X11_ENTRIES(X)                                                                       \
  X(XAllocSizeHints) X(XCloseDisplay) X(XEventsQueued) X(XFlush) X(XFree) X(XLookupKeysym)        \
  X(XNextEvent) X(XOpenDisplay) X(XPending) X(XSelectInput) X(XSetClassHint) X(XSetErrorHandler) \
  X(XSetIOErrorHandler) X(XSetWMNormalHints) X(XkbGetState) X(XkbKeysymToModifiers)              \
  X(XkbQueryExtension) X(XkbSelectEventDetails)

struct WindowLibraries {
#define PAT_WINDOW_ENTRY(name) decltype(&::name) name = nullptr;
  PAT_FREEGLUT_ENTRIES(PAT_WINDOW_ENTRY)
  PAT_GLEW_ENTRIES(PAT_WINDOW_ENTRY)
  PAT_GL_ENTRIES(PAT_WINDOW_ENTRY)
  PAT_X11_ENTRIES(PAT_WINDOW_ENTRY)
#undef PAT_WINDOW_ENTRY
  // What GLEW found once glewInit ran.
  const GLboolean* glew_version_1_2 = nullptr;
  const GLboolean* glew_version_2_0 = nullptr;
  const GLboolean* glew_arb_texture_non_power_of_two = nullptr;
};

// One library and the names it goes by, the first that loads being taken.
struct WindowLibraryNames {
  const char* what;
  std::vector<const char*> names;
};
// In the order they are loaded.
const std::vector<WindowLibraryNames>& window_library_names();

// Loads the libraries the first time; later calls give the same answer.
// nullptr when one is missing or lacks an entry point, with the reason in
// error when given.
const WindowLibraries* load_window_libraries(std::string* error = nullptr);

}  // namespace pat
