# The release step, run by `cmake --install`: packages the installed
# Tavrelon.exe as Tavrelon.msi beside it and writes SHA256SUMS over both.
# TAVRELON_SOURCE_DIR and TAVRELON_VERSION are set by the install code.
set(dist "${CMAKE_INSTALL_PREFIX}")

execute_process(
    COMMAND bash "${TAVRELON_SOURCE_DIR}/packaging/build-msi.sh" "${dist}/Tavrelon.exe"
            ${TAVRELON_VERSION} ${TAVRELON_VERSION} "${dist}/Tavrelon.msi.part"
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE "${dist}/Tavrelon.msi.part")
    message(FATAL_ERROR "Building Tavrelon.msi failed")
endif()
file(RENAME "${dist}/Tavrelon.msi.part" "${dist}/Tavrelon.msi")
message(STATUS "Packaged: ${dist}/Tavrelon.msi")

set(sums "")
foreach(name Tavrelon.exe Tavrelon.msi)
    file(SHA256 "${dist}/${name}" sum)
    string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE "${dist}/SHA256SUMS" "${sums}")
