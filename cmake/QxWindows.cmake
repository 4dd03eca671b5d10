# The Windows build (MinGW-w64 toolchain, cmake/mingw-w64-x86_64.cmake): every plug-in as a
# DLL in <build>/plugins, the host library, and the plug-in tests run under Wine. Included by
# the top CMakeLists.txt in place of the Linux tree; the editor toolkit has no Windows backend
# yet, so plug-ins are built without their editors (QX_HEADLESS).

# M_PI and friends, which glibc declares in C++ as well and MinGW only when asked.
add_compile_definitions(_USE_MATH_DEFINES)

set(QX_PLUGIN_DIR ${CMAKE_BINARY_DIR}/plugins)
set(QX_ENTRY_SOURCE ${PROJECT_SOURCE_DIR}/framework/entry.cpp)
# Stand-alone test programs need no DLLs beside them either.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# True when `lib` is (or links directly) the editor toolkit, which needs X11 and cairo.
function(qx_windows_is_editor_lib lib out)
  set(result FALSE)
  if(lib MATCHES "^(qx_editor|qx_gui.*|qx_skin_.*)$")
    set(result TRUE)
  elseif(TARGET ${lib})
    get_target_property(deps ${lib} LINK_LIBRARIES)
    foreach(dep IN LISTS deps)
      if(dep MATCHES "^(qx_editor|qx_gui.*|qx_skin_.*)$")
        set(result TRUE)
      endif()
    endforeach()
  endif()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# One plug-in DLL exporting only VSTPluginMain and main, without its editor libraries.
function(qx_windows_plugin name sources libs description)
  set(kept "")
  foreach(lib IN LISTS libs)
    qx_windows_is_editor_lib(${lib} editor)
    if(editor)
      if(TARGET ${lib})
        set_target_properties(${lib} PROPERTIES EXCLUDE_FROM_ALL TRUE)
      endif()
    else()
      list(APPEND kept ${lib})
    endif()
  endforeach()
  # The editor's headers are platform-neutral, so the plug-in source compiles as it is;
  # QX_HEADLESS makes QX_DEFINE_PLUGIN leave the editor out.
  add_library(${name} MODULE ${sources} ${QX_ENTRY_SOURCE})
  target_compile_definitions(${name} PRIVATE QX_HEADLESS)
  target_link_libraries(${name} PRIVATE qx_framework ${kept})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".dll" OUTPUT_NAME ${name}
                        LIBRARY_OUTPUT_DIRECTORY ${QX_PLUGIN_DIR})
  set_target_properties(${name} PROPERTIES QX_DESCRIPTION "${description}" QX_LIBS "${kept}")
  set_property(GLOBAL APPEND PROPERTY QX_PLUGINS ${name})
endfunction()

# Both spellings of the plug-in function, as the effect folders call them.
function(qx_add_plugin name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  qx_windows_plugin(${name} "${P_SOURCES}" "${P_LIBS}" "")
endfunction()
function(add_qx_plugin)
  cmake_parse_arguments(P "" "NAME;SKIN;DESCRIPTION;OUTPUT_DIR" "SOURCES;LIBS" ${ARGN})
  qx_windows_plugin(${P_NAME} "${P_SOURCES}" "${P_LIBS}" "${P_DESCRIPTION}")
endfunction()

add_subdirectory(framework)
if(EXISTS ${PROJECT_SOURCE_DIR}/dsp/CMakeLists.txt)
  add_subdirectory(dsp)
endif()
file(GLOB qx_effect_dirs LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/effects/*)
list(SORT qx_effect_dirs)
foreach(dir ${qx_effect_dirs})
  if(EXISTS ${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endforeach()
add_subdirectory(tools/vsthost)

if(QX_BUILD_TESTS)
  enable_testing()
  # GoogleTest from the sources Debian ships, found by the test folders' find_package(GTest)
  # through a config file that names these targets.
  set(QX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
  file(WRITE ${CMAKE_BINARY_DIR}/gtest-config/GTestConfig.cmake
       "# Generated: GoogleTest is built in this tree (GTest::gtest, GTest::gtest_main).\n")
  set(GTest_DIR ${CMAKE_BINARY_DIR}/gtest-config CACHE PATH "" FORCE)
  include(GoogleTest)
  find_package(Threads REQUIRED)
  add_subdirectory(tests/plugins)
  add_subdirectory(tests/vsthost)
  add_subdirectory(tests/windows)
endif()
