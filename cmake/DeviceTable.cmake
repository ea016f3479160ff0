# The check of docs/device.md, in the i686 MinGW-w64 build: there every platform function is a
# stdcall symbol whose name the object files show, apart from the C and C++ runtime's.
#
# quillet_device_names compiles the program code once more with the device's branch of the
# platform layer (_WIN32_WCE). Desktop headers stand in for the device SDK's: the objects are
# never linked, only read for the functions they call. As the device's compiler (CeGCC) does by
# default, the import mark on functions is ignored (-mnop-fun-dllimport): each platform function
# is called by its own name. The entry's file is left out, since the desktop headers declare
# WinMain with a narrow command line; it calls only the program's own functions.

file(GLOB_RECURSE device_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*.cpp)
list(FILTER device_sources EXCLUDE REGEX "(_windows|/win_main)\\.cpp$")
add_library(quillet_device_names OBJECT ${device_sources})
target_link_libraries(quillet_device_names PRIVATE quillet_platform_headers)
target_compile_definitions(quillet_device_names PRIVATE _WIN32_WCE=0x501)
target_compile_options(quillet_device_names PRIVATE -mnop-fun-dllimport)

find_package(Python3 COMPONENTS Interpreter)
find_library(QUILLET_KERNEL32 kernel32)
if(NOT Python3_FOUND OR NOT QUILLET_KERNEL32 OR NOT CMAKE_NM)
  quillet_suite_missing("Python, nm or the import libraries not found: the device table is not checked")
  return()
endif()
get_filename_component(import_libs ${QUILLET_KERNEL32} DIRECTORY)

set(desktop_objects)
foreach(target quillet quillet_app quillet_config quillet_hooks quillet_mapi quillet_composer_objects
               quillet_platform)
  list(APPEND desktop_objects $<TARGET_OBJECTS:${target}>)
endforeach()

add_test(NAME device.table
         COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/device-table.py
                 --table ${PROJECT_SOURCE_DIR}/docs/device.md
                 --exports ${PROJECT_SOURCE_DIR}/docs/device-exports
                 --nm ${CMAKE_NM} --import-libs ${import_libs}
                 --desktop "${desktop_objects}"
                 --device "$<TARGET_OBJECTS:quillet_device_names>")
set_tests_properties(device.table PROPERTIES LABELS "win;device" TIMEOUT 120)
