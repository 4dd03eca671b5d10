# A plug-in DLL exports exactly VSTPluginMain and main and imports only DLLs that every
# Windows ships. cmake -DOBJDUMP=<objdump> -DDLL=<plug-in.dll> -P check_dll.cmake
cmake_minimum_required(VERSION 3.20)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

# The export name table: lines "\t[   0] name" after "[Ordinal/Name Pointer] Table".
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
if(at LESS 0)
  message(FATAL_ERROR "${DLL} exports nothing")
endif()
string(SUBSTRING "${dump}" ${at} -1 table)
string(REGEX MATCH "Table[^\n]*\n((\t\\[[ 0-9]+\\] [^\n]*\n)*)" _ "${table}")
# (Brackets would upset CMake's list splitting, so they go before the list is made.)
string(REGEX REPLACE "\t\\[ *[0-9]+\\] ([^\n]*)\n" "\\1;" names "${CMAKE_MATCH_1}")
list(REMOVE_ITEM names "")
list(SORT names)
if(NOT names STREQUAL "VSTPluginMain;main")
  message(FATAL_ERROR "${DLL} exports [${names}], not exactly VSTPluginMain and main")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "^DLL Name: " "")
set(system advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msimg32.dll
    msvcrt.dll ole32.dll oleaut32.dll shell32.dll user32.dll ucrtbase.dll uuid.dll
    winmm.dll ws2_32.dll)
foreach(dll IN LISTS imports)
  string(TOLOWER "${dll}" lower)
  if(NOT lower IN_LIST system AND NOT lower MATCHES "^api-ms-win-crt-.*\\.dll$")
    message(FATAL_ERROR "${DLL} imports ${dll}, which Windows does not ship")
  endif()
endforeach()
message(STATUS "${DLL}: exports ${names}; imports ${imports}")
