# Makes the Wine prefix of the Windows unit tests, once: a prefix that exists is kept, so a
# second run starts at once. With -DSTOP=ON, ends the prefix's server and whatever still runs in
# it after the tests instead. Every Wine process is bounded by TIMEOUT's command.
#   cmake -DWINE=<loader> -DWINESERVER=<server> -DTIMEOUT=<timeout> -DPREFIX=<dir> [-DSTOP=ON] -P make_prefix.cmake
set(ENV{WINEPREFIX} ${PREFIX})
if(STOP)
  # A server that has already gone, as it does a few seconds after its last program, is fine.
  execute_process(COMMAND ${TIMEOUT} -k 5 30 ${WINESERVER} -k RESULT_VARIABLE ignored)
  return()
endif()

set(ready ${PREFIX}/.quillet-tests-ready)
if(EXISTS ${ready})
  return()
endif()

set(ENV{WINEARCH} win64)
set(ENV{WINEDEBUG} -all)
# No Mono or Gecko: the tests need neither, and their installers would ask for a display.
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${out}")
  endif()
endfunction()

run("wineboot" ${TIMEOUT} -k 5 240 ${WINE} wineboot.exe --init)
# The null graphics driver: no display is needed, whatever the machine has.
run("reg add" ${TIMEOUT} -k 5 60 ${WINE} reg.exe add "HKCU\\Software\\Wine\\Drivers" /v Graphics /d null /f)
# The driver is chosen when the server starts; one that has already gone needs no stopping.
execute_process(COMMAND ${TIMEOUT} -k 5 60 ${WINESERVER} -k RESULT_VARIABLE ignored)
file(TOUCH ${ready})
