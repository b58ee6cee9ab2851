#include "downloader/console/window_libraries.h"

#include <dlfcn.h>

#include <mutex>

namespace pat {

namespace {

struct Loaded {
  WindowLibraries table;
  bool ok = false;
  std::string error;
};

void* open_library(const WindowLibraryNames& library, std::string& error) {
  std::string reasons;
  for (const char* name : library.names) {
    // Never closed: freeglut and the OpenGL drivers keep state for the
    // whole process.
    if (void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL)) return handle;
    if (const char* reason = dlerror()) reasons += std::string(reasons.empty() ? "" : "; ") + reason;
  }
  error = std::string("no ") + library.what + " (" + reasons + ")";
  return nullptr;
}

template <typename Pointer>
bool take(void* handle, const char* name, Pointer& pointer, std::string& error) {
  pointer = reinterpret_cast<Pointer>(dlsym(handle, name));
  if (pointer == nullptr) error = std::string("the window's libraries lack ") + name;
  return pointer != nullptr;
}

bool load(WindowLibraries& t, std::string& error) {
  const std::vector<WindowLibraryNames>& libraries = window_library_names();
  std::vector<void*> handles;
  for (const WindowLibraryNames& library : libraries) {
    handles.push_back(open_library(library, error));
    if (handles.back() == nullptr) return false;
  }
  void* const x11 = handles[0];
  void* const gl = handles[1];
  void* const glew = handles[2];
  void* const freeglut = handles[3];
#define PAT_TAKE(library, name) \
  if (!take(library, #name, t.name, error)) return false;
#define PAT_TAKE_X11(name) PAT_TAKE(x11, name)
#define PAT_TAKE_GL(name) PAT_TAKE(gl, name)
#define PAT_TAKE_GLEW(name) PAT_TAKE(glew, name)
#define PAT_TAKE_FREEGLUT(name) PAT_TAKE(freeglut, name)
  PAT_X11_ENTRIES(PAT_TAKE_X11)
  PAT_GL_ENTRIES(PAT_TAKE_GL)
  PAT_GLEW_ENTRIES(PAT_TAKE_GLEW)
  PAT_FREEGLUT_ENTRIES(PAT_TAKE_FREEGLUT)
#undef PAT_TAKE_FREEGLUT
#undef PAT_TAKE_GLEW
#undef PAT_TAKE_GL
#undef PAT_TAKE_X11
#undef PAT_TAKE
  return take(glew, "__GLEW_VERSION_1_2", t.glew_version_1_2, error) &&
         take(glew, "__GLEW_VERSION_2_0", t.glew_version_2_0, error) &&
         take(glew, "__GLEW_ARB_texture_non_power_of_two", t.glew_arb_texture_non_power_of_two, error);
}

}  // namespace

const std::vector<WindowLibraryNames>& window_library_names() {
  // Distributions name freeglut and GLEW by their versions.
  static const std::vector<WindowLibraryNames> names = {
      {"X11", {"libX11.so.6"}},
      {"OpenGL", {"libGL.so.1"}},
      {"GLEW", {"libGLEW.so.2.2", "libGLEW.so.2.1"}},
      {"freeglut", {"libglut.so.3.12", "libglut.so.3"}},
  };
  return names;
}

const WindowLibraries* load_window_libraries(std::string* error) {
  static Loaded loaded;
  static std::once_flag once;
  std::call_once(once, [] { loaded.ok = load(loaded.table, loaded.error); });
  if (!loaded.ok && error != nullptr) *error = loaded.error;
  return loaded.ok ? &loaded.table : nullptr;
}

}  // namespace pat
