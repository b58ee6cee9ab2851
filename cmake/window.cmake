# The console in a window of its own: freeglut, GLEW, OpenGL and X11, and
# the glyphs of a code page 437 console font turned into data at build
# time. When any of them is missing the program is built with the terminal
# console alone. Only their headers are used when building: the program
# loads the libraries with dlopen when it opens a window, so it starts and
# runs in a terminal where they are missing.

option(PAT_WINDOW "Build the window console when its libraries and font are there" ON)
if(NOT PAT_WINDOW)
  message(STATUS "Window console: switched off (PAT_WINDOW); terminal only")
  return()
endif()

set(OpenGL_GL_PREFERENCE GLVND)
find_package(OpenGL QUIET COMPONENTS OpenGL GLX)
# freeglut itself, not its CMake package: Debian's names X libraries whose
# development packages freeglut3-dev does not bring.
find_path(PAT_FREEGLUT_INCLUDE_DIR GL/freeglut.h)
find_library(PAT_FREEGLUT_LIBRARY NAMES glut freeglut)
find_package(GLEW QUIET)
find_package(X11 QUIET)
find_file(PAT_CONSOLE_FONT
  NAMES default8x16.psf.gz default8x16.psfu.gz default8x16.psf default8x16.psfu
  PATHS /usr/share/consolefonts /usr/share/kbd/consolefonts /usr/lib/kbd/consolefonts
  NO_DEFAULT_PATH
  DOC "An 8 x 16 PSF console font with the glyphs of code page 437")

set(pat_window_missing "")
if(NOT TARGET OpenGL::GL OR NOT TARGET OpenGL::GLX)
  list(APPEND pat_window_missing "OpenGL with GLX (libgl-dev)")
endif()
if(NOT PAT_FREEGLUT_INCLUDE_DIR OR NOT PAT_FREEGLUT_LIBRARY)
  list(APPEND pat_window_missing "freeglut (freeglut3-dev)")
endif()
if(NOT TARGET GLEW::GLEW)
  list(APPEND pat_window_missing "GLEW (libglew-dev)")
endif()
if(NOT TARGET X11::X11)
  list(APPEND pat_window_missing "X11 (libx11-dev)")
endif()
if(NOT PAT_CONSOLE_FONT)
  list(APPEND pat_window_missing "the console font default8x16 (console-data)")
endif()
if(pat_window_missing)
  string(REPLACE ";" ", " pat_window_missing "${pat_window_missing}")
  message(STATUS "Window console: not built, missing ${pat_window_missing}; terminal only")
  return()
endif()
message(STATUS "Window console: built, glyphs from ${PAT_CONSOLE_FONT}")

# The glyph table, made from the font by a generator of our own.
add_executable(font_to_cc ${PROJECT_SOURCE_DIR}/cmake/font_to_cc.cc
  ${PROJECT_SOURCE_DIR}/downloader/text/cp437.cc)
target_include_directories(font_to_cc PRIVATE ${PROJECT_SOURCE_DIR})
set_target_properties(font_to_cc PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/generator)
set(pat_window_font_cc ${CMAKE_BINARY_DIR}/generated/window_font_data.cc)
add_custom_command(OUTPUT ${pat_window_font_cc}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND font_to_cc ${PAT_CONSOLE_FONT} ${pat_window_font_cc}
  DEPENDS font_to_cc ${PAT_CONSOLE_FONT}
  COMMENT "Making the window's glyphs from ${PAT_CONSOLE_FONT}"
  VERBATIM)

file(GLOB pat_window_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/downloader/console/window_*.cc)
list(FILTER pat_window_sources EXCLUDE REGEX "_test\\.cc$")
target_sources(downloader PRIVATE ${pat_window_sources} ${pat_window_font_cc})
target_compile_definitions(downloader PUBLIC PAT_HAVE_WINDOW)
target_include_directories(downloader PUBLIC ${PAT_FREEGLUT_INCLUDE_DIR}
  $<TARGET_PROPERTY:GLEW::GLEW,INTERFACE_INCLUDE_DIRECTORIES>
  $<TARGET_PROPERTY:OpenGL::GL,INTERFACE_INCLUDE_DIRECTORIES>
  $<TARGET_PROPERTY:OpenGL::GLX,INTERFACE_INCLUDE_DIRECTORIES>
  $<TARGET_PROPERTY:X11::X11,INTERFACE_INCLUDE_DIRECTORIES>)
target_link_libraries(downloader PUBLIC ${CMAKE_DL_LIBS})
# The window's end-to-end tests talk to the display themselves.
set(PAT_WINDOW_TEST_LIBRARIES X11::X11)
