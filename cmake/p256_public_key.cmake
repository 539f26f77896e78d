# tavrel_p256_public_key_der(VARIABLE PEM DER): turns the public key file PEM (ECDSA P-256) into
# its DER form at DER with `openssl pkey`, for embedding as a resource; stops the configuration
# for any other kind of key. The configuration runs again when PEM changes.
function(tavrel_p256_public_key_der variable pem der)
  find_program(OPENSSL_PROGRAM openssl REQUIRED)
  execute_process(COMMAND ${OPENSSL_PROGRAM} pkey -pubin -in "${pem}" -outform DER
      -out "${der}.new"
    RESULT_VARIABLE failed ERROR_VARIABLE why)
  if(failed)
    message(FATAL_ERROR "${variable}: ${pem} is not a public key file (PEM): ${why}")
  endif()
  # The bytes before the point are fixed for an uncompressed P-256 key.
  file(READ "${der}.new" hex HEX)
  string(LENGTH "${hex}" hex_digits)
  if(NOT hex MATCHES "^3059301306072a8648ce3d020106082a8648ce3d03010703420004"
      OR NOT hex_digits EQUAL 182)
    message(FATAL_ERROR "${variable}: ${pem} is not an ECDSA P-256 public key")
  endif()
  file(COPY_FILE "${der}.new" "${der}" ONLY_IF_DIFFERENT)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${pem}")
endfunction()

# tavrel_p256_key_resources(RC FILES [VARIABLE RESOURCE_ID]...): the resource script RC with one
# RCDATA line per key, in order: RESOURCE_ID holds the DER form of the PEM file that VARIABLE
# names, written as <VARIABLE without its first word, lower case>.der (OSTREL_UPDATE_KEY gives
# update_key.der) in the current binary folder; an empty VARIABLE adds no line. FILES is set to
# the DER files, for the script's dependencies.
function(tavrel_p256_key_resources rc files)
  set(lines "")
  set(ders "")
  set(pairs ${ARGN})
  while(pairs)
    list(POP_FRONT pairs variable resource_id)
    if(NOT ${variable})
      continue()
    endif()
    string(FIND "${variable}" "_" first_word_end)
    math(EXPR name_start "${first_word_end} + 1")
    string(SUBSTRING "${variable}" ${name_start} -1 name)
    string(TOLOWER "${name}" name)
    set(der "${CMAKE_CURRENT_BINARY_DIR}/${name}.der")
    tavrel_p256_public_key_der(${variable} "${${variable}}" "${der}")
    string(APPEND lines "${resource_id} RCDATA \"${der}\"\n")
    list(APPEND ders "${der}")
  endwhile()
  file(CONFIGURE OUTPUT "${rc}" CONTENT "${lines}")
  set(${files} "${ders}" PARENT_SCOPE)
endfunction()
