# Tavrelon.msi at build time, for the tests: tavrelon_msi(OUT VERSION)
# packages build/bin/Tavrelon.exe as product version VERSION. The release
# step (release.cmake) builds the shipped package the same way.
function(tavrelon_msi out product_version)
    add_custom_command(OUTPUT ${out}
        COMMAND bash ${CMAKE_SOURCE_DIR}/packaging/build-msi.sh $<TARGET_FILE:Tavrelon>
                ${PROJECT_VERSION} ${product_version} ${out}
        DEPENDS Tavrelon ${CMAKE_SOURCE_DIR}/packaging/build-msi.sh ${CMAKE_SOURCE_DIR}/packaging/Tavrelon.wxs
                ${CMAKE_SOURCE_DIR}/packaging/source-date-epoch.sh
        COMMENT "Packaging ${out}"
        VERBATIM)
endfunction()
