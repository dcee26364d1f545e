# Sanitizer builds apply to every target, so that a finding anywhere fails the run.
if(QZR_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(QZR_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread -fno-sanitize-recover=all)
elseif(QZR_SANITIZE STREQUAL "fuzzer")
    # The fuzzing build (clang): coverage for libFuzzer in everything, ASan and UBSan as in the
    # address build; the fuzz targets alone link libFuzzer's main (tests/fuzz).
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "QZR_SANITIZE=fuzzer needs clang (CXX=clang++)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(NOT QZR_SANITIZE STREQUAL "")
    message(FATAL_ERROR "QZR_SANITIZE must be empty, 'address', 'thread' or 'fuzzer'")
endif()
