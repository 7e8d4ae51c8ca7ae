# Builds the release of VERSION into DIST_DIR and writes its SHA256SUMS.
# Run as a script: cmake -DSOURCE_DIR=... -DVERSION=... -DGIT=... -DDIST_DIR=...
# -P make_release.cmake

# The artefacts are built from the work tree and the source archive from the
# commit: they match only when the two are the same.
execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} status --porcelain
  OUTPUT_VARIABLE changes COMMAND_ERROR_IS_FATAL ANY)
if(NOT changes STREQUAL "")
  message(FATAL_ERROR "dist builds a commit: commit or set aside these changes first:\n${changes}")
endif()

# Runs COMMAND... quietly in `folder`, for `what`; when it fails, shows its
# output, removes the folders in `cleanup`, and stops.
set(cleanup "")
function(run what folder)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${folder}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    if(cleanup)
      file(REMOVE_RECURSE ${cleanup})
    endif()
    message(FATAL_ERROR "dist: ${what} failed (${status}):\n${output}")
  endif()
endfunction()

# The Debian package as dpkg-buildpackage builds it from the commit's files,
# without the test suite, which CI runs. dpkg-buildflags keeps the build
# folder's path out of the program only where the path has no blank: the
# package is built in a folder of its own under /tmp.
execute_process(COMMAND dpkg-architecture -qDEB_HOST_ARCH
  OUTPUT_VARIABLE architecture OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(work ${SOURCE_DIR}/build/dist-work)
string(RANDOM LENGTH 12 name)
set(package_work /tmp/dep-dist-${name})
set(cleanup ${package_work})
set(tree ${package_work}/dep-${VERSION})
file(MAKE_DIRECTORY ${tree})
message(STATUS "dist: building the Debian package in ${package_work}")
run("archiving the commit" ${SOURCE_DIR}
  ${GIT} archive --output=${package_work}/commit.tar HEAD)
run("extracting the commit" ${tree} tar -xf ${package_work}/commit.tar)
run("dpkg-buildpackage" ${tree} ${CMAKE_COMMAND} -E env
  DEB_BUILD_OPTIONS=nocheck DEB_BUILD_PROFILES=nocheck dpkg-buildpackage --build=binary --no-sign)
set(deb dep_${VERSION}_${architecture}.deb)
file(MAKE_DIRECTORY ${work})
file(COPY ${package_work}/${deb} DESTINATION ${work})
file(REMOVE_RECURSE ${package_work})
set(cleanup "")

# The other artefacts from the presets that build them, each in a folder of
# its own and without its tests and lint, which the presets' workflows run.
foreach(preset windows web)
  message(STATUS "dist: building with preset ${preset}")
  run("configuring preset ${preset}" ${SOURCE_DIR}
    ${CMAKE_COMMAND} --preset ${preset} -B ${work}/${preset} -DDEP_BUILD_TESTS=OFF
      -DCMAKE_CXX_CLANG_TIDY= -DCMAKE_CXX_CPPCHECK=)
  run("building preset ${preset}" ${SOURCE_DIR} ${CMAKE_COMMAND} --build ${work}/${preset})
  run("packing preset ${preset}" ${work}/${preset}
    ${CMAKE_CPACK_COMMAND} --config ${work}/${preset}/CPackConfig.cmake)
endforeach()

file(REMOVE_RECURSE ${DIST_DIR})
file(MAKE_DIRECTORY ${DIST_DIR})
set(artefacts
  ${work}/${deb}
  ${work}/windows/dep-${VERSION}-win64.zip
  ${work}/windows/dep-${VERSION}-x64.msi
  ${work}/web/dep-${VERSION}.html
  ${work}/web/dep-${VERSION}-app.zip
  ${work}/web/dep-${VERSION}-server.zip
  ${work}/web/dep-${VERSION}-withdrawal.zip)
file(COPY ${artefacts} DESTINATION ${DIST_DIR})

# The installer's codes, which a deployment tool's detection rule names, for
# Windows readers (CR LF) and PowerShell's ConvertFrom-StringData (key=value).
set(msi dep-${VERSION}-x64.msi)
execute_process(COMMAND msiinfo export ${DIST_DIR}/${msi} Property
  OUTPUT_VARIABLE properties COMMAND_ERROR_IS_FATAL ANY)
set(codes "# Codes Windows Installer de ${msi}\r\nPackage=${msi}\r\n")
foreach(property ProductCode UpgradeCode ProductVersion)
  if(NOT properties MATCHES "\n${property}\t([^\r\n]+)")
    message(FATAL_ERROR "dist: ${msi} has no ${property}")
  endif()
  string(APPEND codes "${property}=${CMAKE_MATCH_1}\r\n")
endforeach()
file(WRITE ${DIST_DIR}/dep-${VERSION}-x64-codes.txt "${codes}")

# The source archive: the commit's tracked files under dep-VERSION/, owned by
# root and dated by the commit, as git archive writes them.
execute_process(
  COMMAND ${GIT} -C ${SOURCE_DIR} archive --format=tar --prefix=dep-${VERSION}/ HEAD
  COMMAND gzip -9 -n
  OUTPUT_FILE ${DIST_DIR}/dep-${VERSION}.tar.gz
  COMMAND_ERROR_IS_FATAL ANY)

# In the format sha256sum -c reads.
file(GLOB names RELATIVE ${DIST_DIR} ${DIST_DIR}/*)
list(SORT names)
set(sums "")
foreach(name IN LISTS names)
  file(SHA256 ${DIST_DIR}/${name} sum)
  string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE ${DIST_DIR}/SHA256SUMS "${sums}")
message(STATUS "dist: ${DIST_DIR}\n${sums}")
