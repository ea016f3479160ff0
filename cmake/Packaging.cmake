# The zip the user gets: quillet.exe, stripped, and its read-me, side by side at the top of the
# archive, so that unpacking them into one folder is the whole installation (the ProfileFile
# then goes beside them).
#
#   cpack --config <build>/CPackConfig.cmake -G ZIP     (or the build's `package` target)

install(TARGETS quillet RUNTIME DESTINATION . COMPONENT quillet)

# The read-me is kept as UTF-8 with LF line ends, so that it diffs and greps like every other
# file; the zip gets it as the phone's own viewers show it. A Japanese Windows Mobile device reads
# a text file without a byte-order mark in its system code page, 932 (Shift-JIS), and its text
# controls break lines only at CR LF. A character the code page lacks stops the configuration
# here rather than reaching the phone as a question mark.
find_program(QUILLET_ICONV iconv)
if(NOT QUILLET_ICONV)
  message(FATAL_ERROR "iconv is needed to write the package's read-me in code page 932")
endif()
set(quillet_readme_utf8 ${CMAKE_BINARY_DIR}/packaging/README.utf8.txt)
set(quillet_readme ${CMAKE_BINARY_DIR}/packaging/README.txt)
configure_file(${PROJECT_SOURCE_DIR}/packaging/README.txt ${quillet_readme_utf8} @ONLY NEWLINE_STYLE CRLF)
execute_process(COMMAND ${QUILLET_ICONV} -f UTF-8 -t CP932 ${quillet_readme_utf8}
                OUTPUT_FILE ${quillet_readme} RESULT_VARIABLE result ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "packaging/README.txt can't be written in code page 932: ${error}")
endif()
install(FILES ${quillet_readme} DESTINATION . COMPONENT quillet)

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
# One zip for each Windows build, named after its word size. "desktop" is in the name because
# neither runs on the phone, whose build needs a compiler for Windows CE on ARM.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(quillet_package_arch win32)
  set(quillet_package_machine 014c)  # IMAGE_FILE_MACHINE_I386
else()
  set(quillet_package_arch win64)
  set(quillet_package_machine 8664)  # IMAGE_FILE_MACHINE_AMD64
endif()
set(CPACK_PACKAGE_FILE_NAME quillet-${PROJECT_VERSION}-desktop-${quillet_package_arch})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_RESOURCE_FILE_README ${quillet_readme_utf8})
include(CPack)

# The package holds exactly the two files, the program in it is of this build's machine and
# carries no symbols, and its read-me is in code page 932 with CR LF line ends and names the
# program's own options, hook section and keys, menu texts, template and exit codes, as the
# sources under src/ spell them; its exit-code table is the one in README.md and
# docs/scenarios.md.
if(QUILLET_TESTS)
  add_test(NAME package.contents
           COMMAND ${CMAKE_COMMAND} -DCPACK_CONFIG=${CMAKE_BINARY_DIR}/CPackConfig.cmake
                   -DWORK=${CMAKE_BINARY_DIR}/package-check -DMACHINE=${quillet_package_machine}
                   -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DICONV=${QUILLET_ICONV}
                   -P ${PROJECT_SOURCE_DIR}/packaging/check_package.cmake)
  set_tests_properties(package.contents PROPERTIES LABELS "win;package" TIMEOUT 300)
endif()
