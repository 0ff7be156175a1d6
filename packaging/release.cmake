# The release step, run by `cmake --install`. Into the install prefix
# (dist/) it puts Tavrelon.exe, Tavrelon.msi built from it, and SHA256SUMS
# over both. With signing configured it signs the exe, packages the signed
# exe, and signs the package. Everything is made in a staging folder first
# and moved into place only when all of it succeeded, so a failed release
# leaves none of the three files behind.
# The install code sets TAVRELON_SOURCE_DIR, TAVRELON_BINARY_DIR,
# TAVRELON_EXE, TAVRELON_VERSION and the TAVRELON_SIGN_* settings.
set(dist "${CMAKE_INSTALL_PREFIX}")
set(stage "${TAVRELON_BINARY_DIR}/release-staging")
set(release_files Tavrelon.exe Tavrelon.msi SHA256SUMS)

foreach(name ${release_files})
    file(REMOVE "${dist}/${name}")
endforeach()
file(REMOVE_RECURSE "${stage}")

function(release_failed message)
    file(REMOVE_RECURSE "${stage}")
    message(FATAL_ERROR "${message}")
endfunction()

# Each file is made in `built`; with signing that is a folder of its own,
# and the signed file takes the file's place in the stage.
set(signing OFF)
set(built "${stage}")
if(TAVRELON_SIGN_PKCS12 OR TAVRELON_SIGN_CERT OR TAVRELON_SIGN_KEY)
    set(signing ON)
    set(built "${stage}/unsigned")
    foreach(setting TAVRELON_SIGN_CERT TAVRELON_SIGN_KEY TAVRELON_SIGN_PKCS12 TAVRELON_SIGN_TIMESTAMP_URL)
        set(ENV{${setting}} "${${setting}}")
    endforeach()
    if(TAVRELON_SIGN_TIMESTAMP_URL)
        message(STATUS "Signing with a time stamp from ${TAVRELON_SIGN_TIMESTAMP_URL}: the files will differ from build to build")
    endif()
endif()
file(MAKE_DIRECTORY "${built}" "${dist}")

function(sign_if_configured name)
    if(NOT signing)
        return()
    endif()
    execute_process(COMMAND bash "${TAVRELON_SOURCE_DIR}/packaging/sign.sh" "${built}/${name}" "${stage}/${name}"
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        release_failed("Signing ${name} failed; check the TAVRELON_SIGN_* settings named above")
    endif()
    message(STATUS "Signed: ${name}")
endfunction()

file(COPY_FILE "${TAVRELON_EXE}" "${built}/Tavrelon.exe")
sign_if_configured(Tavrelon.exe)

execute_process(
    COMMAND bash "${TAVRELON_SOURCE_DIR}/packaging/build-msi.sh" "${stage}/Tavrelon.exe"
            ${TAVRELON_VERSION} ${TAVRELON_VERSION} "${built}/Tavrelon.msi"
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    release_failed("Building Tavrelon.msi failed")
endif()
sign_if_configured(Tavrelon.msi)

set(sums "")
foreach(name Tavrelon.exe Tavrelon.msi)
    file(SHA256 "${stage}/${name}" sum)
    string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE "${stage}/SHA256SUMS" "${sums}")

foreach(name ${release_files})
    file(RENAME "${stage}/${name}" "${dist}/${name}")
    message(STATUS "Released: ${dist}/${name}")
endforeach()
file(REMOVE_RECURSE "${stage}")
