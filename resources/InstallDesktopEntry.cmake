# Runs at install time: writes the desktop entry for the binary in ${CMAKE_INSTALL_PREFIX}/bin and
# installs it. The Exec value is quoted and escaped as desktop entries require, so a prefix with
# spaces or quotes still starts the right file.
set(_binary "${CMAKE_INSTALL_PREFIX}/bin/vantorel")
if(_binary MATCHES "%")
  message(FATAL_ERROR "Install prefix must not contain \"%\": launchers refuse such an Exec path")
endif()
set(_exec "${_binary}")
if(_binary MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
  string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" _exec "${_binary}")
  set(_exec "\"${_exec}\"")
endif()
# The key-file layer escapes backslashes once more.
string(REPLACE "\\" "\\\\" VANTOREL_EXEC "${_exec}")
string(REPLACE "\\" "\\\\" VANTOREL_TRY_EXEC "${_binary}")
configure_file("${VANTOREL_DESKTOP_TEMPLATE}" "${VANTOREL_DESKTOP_STAGING}/vantorel.desktop" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE
     FILES "${VANTOREL_DESKTOP_STAGING}/vantorel.desktop")
