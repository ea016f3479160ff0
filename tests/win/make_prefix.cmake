# Makes the Wine prefix of the Windows unit tests, once: a prefix that exists is kept, so a
# second run starts at once. With -DWOW64=ON (a 32-bit build) the prefix must also hold Wine's
# 32-bit Windows: one made where 32-bit programs could not run has an empty syswow64 and is made
# anew, so a machine that has since gained 32-bit support doesn't fail for it. With -DSTOP=ON,
# ends the prefix's server and whatever still runs in it after the tests instead. Every Wine
# process is bounded by TIMEOUT's command.
#   cmake -DWINE=<loader> -DWINESERVER=<server> -DTIMEOUT=<timeout> -DPREFIX=<dir> [-DWOW64=ON] [-DSTOP=ON] -P make_prefix.cmake
set(ENV{WINEPREFIX} ${PREFIX})
if(STOP)
  # A server that has already gone, as it does a few seconds after its last program, is fine.
  execute_process(COMMAND ${TIMEOUT} -k 5 30 ${WINESERVER} -k RESULT_VARIABLE ignored)
  return()
endif()

set(ready ${PREFIX}/.quillet-tests-ready)
# Whether the prefix holds Wine's 32-bit Windows: where the kernel runs no 32-bit code, wineboot
# succeeds but leaves syswow64 empty.
function(holds_wow64 answer)
  file(GLOB wow64_files ${PREFIX}/drive_c/windows/syswow64/*)
  list(LENGTH wow64_files count)
  if(count GREATER 0)
    set(${answer} ON PARENT_SCOPE)
  else()
    set(${answer} OFF PARENT_SCOPE)
  endif()
endfunction()
holds_wow64(wow64)
if(EXISTS ${ready} AND (NOT WOW64 OR wow64))
  return()
endif()
if(EXISTS ${PREFIX})
  execute_process(COMMAND ${TIMEOUT} -k 5 30 ${WINESERVER} -k RESULT_VARIABLE ignored)
  file(REMOVE_RECURSE ${PREFIX})
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
holds_wow64(wow64)
if(WOW64 AND NOT wow64)
  message(FATAL_ERROR "the prefix holds no 32-bit Windows (its syswow64 is empty): this machine "
                      "runs no 32-bit programs, so a 32-bit build's tests can't run under Wine here")
endif()
file(TOUCH ${ready})
