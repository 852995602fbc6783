# velmora_add_app_icon(<target>): gives an executable the window icon (":/icons/velmora.png")
# and, on Windows, the file icon and the manifest.
include_guard(GLOBAL)

set(VELMORA_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR}/../packaging)

function(velmora_add_app_icon target)
    qt_add_resources(icon_sources ${VELMORA_PACKAGING_DIR}/velmora.qrc)
    target_sources(${target} PRIVATE ${icon_sources})
    if(WIN32)
        set(rc ${VELMORA_PACKAGING_DIR}/windows/velmora.rc)
        target_sources(${target} PRIVATE ${rc})
        if(MSVC)
            target_sources(${target} PRIVATE ${VELMORA_PACKAGING_DIR}/windows/velmora.manifest)
            set_property(SOURCE ${rc} APPEND PROPERTY COMPILE_DEFINITIONS VELMORA_LINKER_MANIFEST)
        endif()
    endif()
endfunction()
