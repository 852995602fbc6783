# The emulator's folders are layered: core, engine, ui, group, each using only those before
# it. Includes name their folder ("engine/browserpage.h"); one that reaches a later folder
# stops the configuration, so the layering cannot rot unnoticed.
set(VELMORA_EMULATOR_ROOMS core engine ui group)

function(velmora_check_emulator_rooms)
    set(allowed "")
    foreach(room IN LISTS VELMORA_EMULATOR_ROOMS)
        list(APPEND allowed ${room})
        file(GLOB_RECURSE sources CONFIGURE_DEPENDS
            "${PROJECT_SOURCE_DIR}/emulator/${room}/*.h" "${PROJECT_SOURCE_DIR}/emulator/${room}/*.cpp")
        foreach(source IN LISTS sources)
            file(STRINGS "${source}" includes REGEX "^#include \"[a-z]+/")
            foreach(line IN LISTS includes)
                string(REGEX REPLACE "^#include \"([a-z]+)/.*" "\\1" used "${line}")
                if(used IN_LIST VELMORA_EMULATOR_ROOMS AND NOT used IN_LIST allowed)
                    message(FATAL_ERROR "${source}: emulator/${room} may not use emulator/${used}")
                endif()
            endforeach()
        endforeach()
    endforeach()
endfunction()
