# The zip the phone's user gets: quillet.exe, stripped, and its read-me, side by side at the top
# of the archive, so that unpacking them into one folder is the whole installation (the
# ProfileFile then goes beside them).
#
#   cpack --config <build>/CPackConfig.cmake -G ZIP     (or the build's `package` target)

install(TARGETS quillet RUNTIME DESTINATION . COMPONENT quillet)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/README.txt DESTINATION . COMPONENT quillet)

# Only the program's own component goes in: the Wine stand-ins, the test programs and anything
# a bundled library installs stay out, whatever rules they bring.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};quillet;/")

# With the toolchain's own strip (x86_64-w64-mingw32-strip), which CMake finds beside the compiler.
set(CPACK_STRIP_FILES TRUE)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "Quillet developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Send and receive the phone's mail as it is sent")
# One zip for each Windows build, named after its word size.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(quillet_package_arch win32)
  set(quillet_package_machine 014c)  # IMAGE_FILE_MACHINE_I386
else()
  set(quillet_package_arch win64)
  set(quillet_package_machine 8664)  # IMAGE_FILE_MACHINE_AMD64
endif()
set(CPACK_PACKAGE_FILE_NAME quillet-${PROJECT_VERSION}-${quillet_package_arch})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/packaging/README.txt)
include(CPack)

# The package holds exactly the two files, and the program in it is of this build's machine
# and carries no symbols.
if(QUILLET_TESTS)
  add_test(NAME package.contents
           COMMAND ${CMAKE_COMMAND} -DCPACK_CONFIG=${CMAKE_BINARY_DIR}/CPackConfig.cmake
                   -DWORK=${CMAKE_BINARY_DIR}/package-check -DMACHINE=${quillet_package_machine}
                   -P ${PROJECT_SOURCE_DIR}/packaging/check_package.cmake)
  set_tests_properties(package.contents PROPERTIES LABELS "win;package" TIMEOUT 300)
endif()
