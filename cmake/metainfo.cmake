# SPDX-FileCopyrightText: 2026 Korvex developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Writes the AppStream metainfo that is installed: the source file as it stands, plus the two
# addresses that only a packager can give, since the project has no public home yet. Left
# empty, neither element is written: an address nobody serves would be worse than none.
#   cmake -DSOURCE=in.xml -DOUTPUT=out.xml [-DHOMEPAGE=URL] [-DSCREENSHOT=URL] -P metainfo.cmake
#     HOMEPAGE    the project's home page (<url type="homepage">)
#     SCREENSHOT  where software centres fetch the picture of docs/screenshot.png
cmake_minimum_required(VERSION 3.25)

foreach(required SOURCE OUTPUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "metainfo.cmake: ${required} is not set")
  endif()
endforeach()

function(xml_escape var text)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "\"" "&quot;" text "${text}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

set(addresses "")
if(HOMEPAGE)
  xml_escape(url "${HOMEPAGE}")
  string(APPEND addresses "  <url type=\"homepage\">${url}</url>\n")
endif()
if(SCREENSHOT)
  xml_escape(url "${SCREENSHOT}")
  string(APPEND addresses
    "  <screenshots>\n"
    "    <screenshot type=\"default\">\n"
    "      <caption>The board after the victory preview, with every tile from 2 to 16384</caption>\n"
    "      <caption xml:lang=\"ru\">Поле после «Подсмотреть победу»: все плитки от 2 до 16384</caption>\n"
    "      <image>${url}</image>\n"
    "    </screenshot>\n"
    "  </screenshots>\n")
endif()

file(READ "${SOURCE}" text)
set(marker "  <!-- The packager's addresses go here. -->\n")
string(FIND "${text}" "${marker}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "metainfo.cmake: ${SOURCE} has no line \"${marker}\"")
endif()
string(REPLACE "${marker}" "${addresses}" text "${text}")
# Written only when it changed, so an unchanged metainfo is not installed anew.
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "${text}" @ONLY)
