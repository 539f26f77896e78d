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
