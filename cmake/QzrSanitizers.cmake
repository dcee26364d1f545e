# Sanitizer builds apply to every target, so that a finding anywhere fails the run.
if(QZR_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(QZR_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread -fno-sanitize-recover=all)
elseif(NOT QZR_SANITIZE STREQUAL "")
    message(FATAL_ERROR "QZR_SANITIZE must be empty, 'address' or 'thread'")
endif()
