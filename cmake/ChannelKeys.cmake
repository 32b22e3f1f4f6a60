# zrq_channel_keys(<output .cpp> <PEM files>): writes the source that defines
# cv::channelKeys() with the ECDSA P-256 public keys of the PEM files (none,
# one or two). Each key's id is the lower-case hex of the first 8 bytes of the
# SHA-256 of its DER SubjectPublicKeyInfo, as `openssl pkey -pubin -outform
# DER` prints it; the build reads the DER with that command.
function(zrq_channel_keys output)
  set(pems ${ARGN})
  list(LENGTH pems count)
  if(count GREATER 2)
    message(FATAL_ERROR "ZRQ_CHANNEL_KEYS names ${count} keys; a shell takes one, or two while a channel moves to a new key")
  endif()
  find_program(ZRQ_OPENSSL openssl REQUIRED)
  # A P-256 SubjectPublicKeyInfo: this fixed header, then the 65-byte point 04 || X || Y.
  set(header "3059301306072a8648ce3d020106082a8648ce3d030107034200")
  set(entries "")
  set(index 0)
  foreach(pem IN LISTS pems)
    get_filename_component(pem "${pem}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
    set(der "${CMAKE_CURRENT_BINARY_DIR}/channel-key-${index}.der")
    execute_process(COMMAND "${ZRQ_OPENSSL}" pkey -pubin -in "${pem}" -outform DER -out "${der}"
                    RESULT_VARIABLE failed ERROR_VARIABLE why)
    if(failed)
      message(FATAL_ERROR "ZRQ_CHANNEL_KEYS: ${pem} is not a PEM public key: ${why}")
    endif()
    file(READ "${der}" hex HEX)
    string(LENGTH "${hex}" length)
    string(SUBSTRING "${hex}" 0 52 start)
    if(NOT length EQUAL 182 OR NOT start STREQUAL header)
      message(FATAL_ERROR "ZRQ_CHANNEL_KEYS: ${pem} is not an ECDSA P-256 public key")
    endif()
    file(SHA256 "${der}" digest)
    string(SUBSTRING "${digest}" 0 16 key_id)
    string(SUBSTRING "${hex}" 54 128 point)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${point}")
    string(APPEND entries "      {\"${key_id}\", {{${bytes}}}},\n")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${pem}")
    message(STATUS "channel key ${key_id}: ${pem}")
    math(EXPR index "${index} + 1")
  endforeach()
  file(CONFIGURE OUTPUT "${output}" CONTENT "// Generated from ZRQ_CHANNEL_KEYS.
#include \"net/channel_keys.hpp\"

namespace cv {

const std::vector<ChannelKey>& channelKeys() {
  static const std::vector<ChannelKey> keys = {
${entries}  };
  return keys;
}

}  // namespace cv
" @ONLY)
endfunction()
