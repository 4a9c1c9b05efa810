# Turns the 2048-line word list into a C++ source: every word in an 8-byte,
# zero-padded slot of one array, plus a table of word lengths.
# Usage: cmake -DWORDLIST=<english.txt> -DOUTPUT=<file.cpp> -P embed_wordlist.cmake
file(READ "${WORDLIST}" _text)
string(LENGTH "${_text}" _len)
if(_len EQUAL 0)
  message(FATAL_ERROR "${WORDLIST} is empty")
endif()
math(EXPR _last "${_len} - 1")
string(SUBSTRING "${_text}" ${_last} 1 _tail)
if(NOT _tail STREQUAL "\n")
  message(FATAL_ERROR "${WORDLIST} must end with a newline")
endif()
string(SUBSTRING "${_text}" 0 ${_last} _body)
string(REPLACE "\n" ";" _words "${_body}")
list(LENGTH _words _count)
if(NOT _count EQUAL 2048)
  message(FATAL_ERROR "${WORDLIST} holds ${_count} words, expected 2048")
endif()

set(_slots "")
set(_lengths "")
set(_prev "")
set(_i 0)
foreach(_w IN LISTS _words)
  if(NOT _w MATCHES "^[a-z]+$")
    message(FATAL_ERROR "word ${_i} of ${WORDLIST} is not lowercase ASCII: '${_w}'")
  endif()
  string(LENGTH "${_w}" _wl)
  if(_wl GREATER 8)
    message(FATAL_ERROR "word ${_i} of ${WORDLIST} is longer than 8 letters: '${_w}'")
  endif()
  if(NOT _prev STREQUAL "" AND NOT _prev STRLESS _w)
    message(FATAL_ERROR "${WORDLIST} is not strictly sorted at word ${_i}: '${_w}'")
  endif()
  set(_pad "")
  math(EXPR _npad "8 - ${_wl}")
  while(_npad GREATER 0)
    string(APPEND _pad "\"\\0\"")
    math(EXPR _npad "${_npad} - 1")
  endwhile()
  string(APPEND _slots "    \"${_w}\"${_pad}\n")
  string(APPEND _lengths "${_wl},")
  math(EXPR _m "(${_i} + 1) % 32")
  if(_m EQUAL 0)
    string(APPEND _lengths "\n    ")
  endif()
  set(_prev "${_w}")
  math(EXPR _i "${_i} + 1")
endforeach()

file(WRITE "${OUTPUT}.tmp"
"// Generated from data/english.txt by cmake/embed_wordlist.cmake; do not edit.
#include <cstdint>

namespace bip39::detail {

extern const char kEnglishSlots[2048 * 8 + 1];
extern const uint8_t kEnglishLengths[2048];

const char kEnglishSlots[2048 * 8 + 1] =
${_slots}    ;

const uint8_t kEnglishLengths[2048] = {
    ${_lengths}
};

}  // namespace bip39::detail
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
