# Writes the udev rule for handset ports from a list of USB vendor:product pairs (one a line,
# four hex digits each, text after the pair and lines starting with # are comments):
#   cmake -DLIST=<handsets.list> -DOUT=<70-kova-qpx.rules> -P cmake/UdevRule.cmake
# A listed handset's ttys get uaccess (the rule sorts after 60-serial and before 73-seat-late,
# which turns the tag into an ACL); both the USB device and its ttys carry ID_MM_DEVICE_IGNORE,
# which ModemManager reads at either level.
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED LIST OR NOT DEFINED OUT)
  message(FATAL_ERROR "usage: cmake -DLIST=<handsets.list> -DOUT=<rules file> -P UdevRule.cmake")
endif()
file(STRINGS ${LIST} _handsets)
set(_usb "LABEL=\"kova_qpx_usb\"\n")
set(_tty "LABEL=\"kova_qpx_tty\"\n")
set(_hex4 "[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]")
foreach(_line IN LISTS _handsets)
  string(STRIP "${_line}" _line)
  if(_line STREQUAL "" OR _line MATCHES "^#")
    continue()
  endif()
  if(NOT _line MATCHES "^(${_hex4}):(${_hex4})([ \t].*)?$")
    message(FATAL_ERROR "${LIST}: not a vendor:product pair: ${_line}")
  endif()
  # sysfs shows the IDs in lower case; udev compares them as text.
  string(TOLOWER "${CMAKE_MATCH_1}" _vid)
  string(TOLOWER "${CMAKE_MATCH_2}" _pid)
  string(APPEND _usb "ATTR{idVendor}==\"${_vid}\", ATTR{idProduct}==\"${_pid}\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n")
  string(APPEND _tty "ATTRS{idVendor}==\"${_vid}\", ATTRS{idProduct}==\"${_pid}\", ENV{ID_MM_DEVICE_IGNORE}=\"1\", TAG+=\"uaccess\"\n")
endforeach()
file(WRITE ${OUT}
  "# Handset ports for KOVA QPX. Made from handsets.list (/usr/lib/kova-qpx/handsets.list).\n"
  "# A shop's own handsets: /etc/udev/rules.d/70-kova-qpx-local.rules (qpx-diag doctor prints the line).\n"
  "ACTION==\"remove\", GOTO=\"kova_qpx_end\"\n"
  "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", GOTO=\"kova_qpx_usb\"\n"
  "SUBSYSTEM==\"tty\", GOTO=\"kova_qpx_tty\"\n"
  "GOTO=\"kova_qpx_end\"\n\n"
  "${_usb}GOTO=\"kova_qpx_end\"\n\n"
  "${_tty}\n"
  "LABEL=\"kova_qpx_end\"\n")
