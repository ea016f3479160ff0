# Builds the zip into a folder of its own and checks it: exactly quillet.exe and README.txt at
# the top, a program of the expected machine (MACHINE, the PE header's four hex digits: 014c for
# i386, 8664 for x86_64) without a symbol table (stripped), and a read-me in code page 932 with
# CR LF line ends that agrees with the program's sources under SOURCE_DIR (check_readme.cmake).
#   cmake -DCPACK_CONFIG=<build>/CPackConfig.cmake -DWORK=<folder> -DMACHINE=<hex>
#         -DSOURCE_DIR=<source tree> -DICONV=<iconv> -P check_package.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/check_readme.cmake)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/out ${WORK}/unpacked)
get_filename_component(cmake_bin ${CMAKE_COMMAND} DIRECTORY)
execute_process(COMMAND ${cmake_bin}/cpack --config ${CPACK_CONFIG} -G ZIP -B ${WORK}/out
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out TIMEOUT 240)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed (${result}):\n${out}")
endif()
file(GLOB zips ${WORK}/out/*.zip)
list(LENGTH zips count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one zip, found: ${zips}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${zips} OUTPUT_VARIABLE listing RESULT_VARIABLE result)
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" listing "${listing}")
list(SORT listing)
if(NOT result EQUAL 0 OR NOT listing STREQUAL "README.txt;quillet.exe")
  message(FATAL_ERROR "the zip holds [${listing}], not exactly README.txt and quillet.exe")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zips} WORKING_DIRECTORY ${WORK}/unpacked)
# The COFF header follows "PE\0\0" at the offset kept at 0x3C; its symbol count (bytes 12 to 15
# of the header) is zero once stripped. The pointer before it is not looked at: the i686 strip
# leaves it pointing at the empty string table.
set(exe ${WORK}/unpacked/quillet.exe)
file(READ ${exe} pe_offset OFFSET 60 LIMIT 4 HEX)
string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" pe_offset "${pe_offset}")
math(EXPR pe_offset "0x${pe_offset}")
math(EXPR machine_at "${pe_offset} + 4")
math(EXPR symbols_at "${pe_offset} + 4 + 12")
file(READ ${exe} signature OFFSET ${pe_offset} LIMIT 4 HEX)
file(READ ${exe} symbols OFFSET ${symbols_at} LIMIT 4 HEX)
if(NOT signature STREQUAL "50450000")
  message(FATAL_ERROR "quillet.exe in the zip is not a PE image")
endif()
file(READ ${exe} machine OFFSET ${machine_at} LIMIT 2 HEX)
string(REGEX REPLACE "(..)(..)" "\\2\\1" machine "${machine}")
if(NOT machine STREQUAL MACHINE)
  message(FATAL_ERROR "quillet.exe in the zip is for machine ${machine}, not ${MACHINE}")
endif()
if(NOT symbols STREQUAL "00000000")
  message(FATAL_ERROR "quillet.exe in the zip still has a symbol table (${symbols})")
endif()
file(SIZE ${zips} zip_size)
message(STATUS "${zips}: ${zip_size} bytes")

# The read-me as the phone shows it: no byte-order mark (a viewer that reads the system code page
# would show one as stray characters), bytes that code page 932 decodes, and CR LF after every
# line. Its text is then held against the program's sources.
set(readme ${WORK}/unpacked/README.txt)
file(READ ${readme} start LIMIT 3 HEX)
if(start MATCHES "^(efbbbf|fffe|feff)")
  message(FATAL_ERROR "README.txt in the zip starts with a byte-order mark (${start})")
endif()
execute_process(COMMAND ${ICONV} -f CP932 -t UTF-8 ${readme} OUTPUT_FILE ${WORK}/README.utf8.txt
                RESULT_VARIABLE result ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "README.txt in the zip is not code page 932 text: ${error}")
endif()
# Counted in the bytes: file(READ) as text drops carriage returns.
file(READ ${readme} bytes HEX)
string(REGEX REPLACE "(..)" "\\1 " bytes "${bytes}")
string(REGEX MATCHALL "0d 0a " crlf "${bytes}")
string(REGEX MATCHALL "0a " lf "${bytes}")
string(REGEX MATCHALL "0d " cr "${bytes}")
list(LENGTH crlf crlf_count)
list(LENGTH lf lf_count)
list(LENGTH cr cr_count)
if(crlf_count EQUAL 0 OR NOT crlf_count EQUAL lf_count OR NOT crlf_count EQUAL cr_count)
  message(FATAL_ERROR "README.txt in the zip has ${lf_count} line feeds and ${cr_count} carriage "
                      "returns, ${crlf_count} of them as CR LF: every line must end with CR LF")
endif()
file(READ ${WORK}/README.utf8.txt text)
get_filename_component(zip_name ${zips} NAME)
check_readme("${text}" ${zip_name})
