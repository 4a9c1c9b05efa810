# External C libraries, each behind one imported target vt::<name>.
#
#   vt_external_library(<name> HEADER <file> LIBRARY <name> DEBIAN <package>
#                       [PKG_CONFIG <module>] [PATH_SUFFIXES <dir>...])
#
# With VT_STATIC_DEPS on, vt::<name> is the static archive lib<LIBRARY>.a, so
# its code ends up inside whatever links it (the extension module keeps every
# symbol of an archive private with --exclude-libs,ALL); otherwise it is the
# shared library. HEADER (looked for under PATH_SUFFIXES of the include
# folders) gives the include folder; PKG_CONFIG, when the library ships a
# pkg-config file, adds its folders to the search. A library that is missing
# stops the configure step with the Debian package that provides it.
include_guard(GLOBAL)

function(vt_external_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "HEADER;LIBRARY;DEBIAN;PKG_CONFIG" "PATH_SUFFIXES")
  set(include_hints "")
  set(library_hints "")
  if(arg_PKG_CONFIG)
    find_package(PkgConfig QUIET)
    if(PKG_CONFIG_FOUND)
      pkg_check_modules(VT_PC_${name} QUIET ${arg_PKG_CONFIG})
      set(include_hints ${VT_PC_${name}_INCLUDE_DIRS})
      set(library_hints ${VT_PC_${name}_LIBRARY_DIRS})
    endif()
  endif()

  find_path(VT_${name}_INCLUDE_DIR NAMES ${arg_HEADER} HINTS ${include_hints}
            PATH_SUFFIXES ${arg_PATH_SUFFIXES})
  if(VT_STATIC_DEPS)
    set(kind STATIC)
    set(file "lib${arg_LIBRARY}.a")
  else()
    set(kind SHARED)
    set(file "${arg_LIBRARY}")
  endif()
  # One cache entry per kind, so that switching VT_STATIC_DEPS finds again.
  find_library(VT_${name}_${kind}_LIBRARY NAMES ${file} HINTS ${library_hints})
  if(NOT VT_${name}_INCLUDE_DIR OR NOT VT_${name}_${kind}_LIBRARY)
    if(VT_STATIC_DEPS)
      set(what "the static library ${file} and the header ${arg_HEADER}")
      set(alternative " (or configure with -DVT_STATIC_DEPS=OFF to link the shared library)")
    else()
      set(what "the library ${arg_LIBRARY} and the header ${arg_HEADER}")
      set(alternative "")
    endif()
    message(FATAL_ERROR
      "${what} were not found. On Debian and Ubuntu: apt-get install ${arg_DEBIAN}"
      "${alternative}; elsewhere point CMAKE_PREFIX_PATH at an installed copy.")
  endif()

  add_library(vt::${name} ${kind} IMPORTED GLOBAL)
  set_target_properties(vt::${name} PROPERTIES
    IMPORTED_LOCATION "${VT_${name}_${kind}_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${VT_${name}_INCLUDE_DIR}")
  message(STATUS "${name}: ${VT_${name}_${kind}_LIBRARY}")
endfunction()
